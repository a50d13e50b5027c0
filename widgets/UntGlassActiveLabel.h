#pragma once
// A text label that changes colour, underline and mouse cursor while the mouse is over it.

#include <QColor>
#include <QCursor>
#include <QLabel>

class QEnterEvent;

class TGlassActiveLabel : public QLabel {
    Q_OBJECT

public:
    explicit TGlassActiveLabel(QWidget* parent = nullptr);
    explicit TGlassActiveLabel(const QString& text, QWidget* parent = nullptr);

    QColor mouseInColor() const { return fMouseInColor; }
    void setMouseInColor(const QColor& value);
    QColor mouseOutColor() const { return fMouseOutColor; }
    void setMouseOutColor(const QColor& value);
    QCursor mouseInCursor() const { return fMouseInCursor; }
    void setMouseInCursor(const QCursor& value);
    QCursor mouseOutCursor() const { return fMouseOutCursor; }
    void setMouseOutCursor(const QCursor& value);

    bool mouseIn() const { return fMouseIn; }
    QString version() const;

signals:
    // Emitted after the label has taken its hover or normal look.
    void mouseEnter();
    void mouseLeave();
    // A left-button press and release on the label.
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applyState();

    QColor fMouseInColor{7, 74, 229};
    QColor fMouseOutColor{21, 28, 85};
    QCursor fMouseInCursor{Qt::PointingHandCursor};
    QCursor fMouseOutCursor{Qt::ArrowCursor};
    bool fMouseIn = false;
    bool fPressed = false;
};
