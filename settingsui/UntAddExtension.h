// The "Extension Filter" dialog: one edit box whose text goes to the settings window's parser.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class TGlassInformationBar;
class TGlassPanel;
class TGlassToolButton;

class TFrmAddExtension : public QDialog {
    Q_OBJECT

public:
    // addExtensions receives the typed text unchanged.
    explicit TFrmAddExtension(std::function<void(const std::string&)> addExtensions, QWidget* parent = nullptr);

    // Passes the text on, then closes.
    void save();

    TGlassPanel* pCore = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* edtext = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    TGlassInformationBar* GlassInformationBar1 = nullptr;
    TGlassToolButton* GlassToolButton1 = nullptr;
    TGlassToolButton* GlassToolButton2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when the key was Enter or Escape and has been handled.
    bool handleKey(QKeyEvent* event);

    std::function<void(const std::string&)> addExtensions_;
};
