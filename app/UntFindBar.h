// The find bar shown over the event views: the words to find, "N of M events", and a close
// button. Escape closes it as the button does.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

class TFindBar final : public QWidget {
    Q_OBJECT

public:
    explicit TFindBar(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    // Shows "shown of total events".
    void setCounts(std::size_t shown, std::size_t total);
    QString countText() const;
    // Shows the bar and puts the cursor in it, its words selected.
    void open();

    QLineEdit* edit() const { return edit_; }
    QToolButton* closeButton() const { return close_; }

signals:
    void textChanged(const QString& text);
    // Escape or the close button.
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* edit_;
    QLabel* count_;
    QToolButton* close_;
};
