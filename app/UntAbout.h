// The About box: the program's name and version, the maker's web address and social pages.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class TGlassActiveLabel;
class TGlassPanel;
class TGlassToolButton;

using TOpenAddress = std::function<void(const std::string& address)>;

class TFrmAbout final : public QDialog {
    Q_OBJECT

public:
    // openAddress opens an address with the desktop (shellOpen unless a test gives another).
    explicit TFrmAbout(QWidget* parent = nullptr, TOpenAddress openAddress = {});

    TGlassPanel* panel() const { return GlassPanel1; }
    TGlassActiveLabel* linkLabel() const { return GlassActiveLabel1; }
    TGlassToolButton* facebookButton() const { return GlassToolButton1; }
    TGlassToolButton* twitterButton() const { return GlassToolButton2; }
    TGlassToolButton* googlePlusButton() const { return GlassToolButton3; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void GlassActiveLabel1Click();
    void GlassToolButton1Click();
    void GlassToolButton2Click();
    void GlassToolButton3Click();

    TOpenAddress openAddress_;
    TGlassPanel* GlassPanel1;
    TGlassActiveLabel* GlassActiveLabel1;
    TGlassToolButton* GlassToolButton1;
    TGlassToolButton* GlassToolButton2;
    TGlassToolButton* GlassToolButton3;
};
