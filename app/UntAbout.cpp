#include "app/UntAbout.h"

#include "app/UntAppServices.h"
#include "app/UntMainImages.h"
#include "pipeline/UntMakerLinks.h"
#include "util/UntFunctions.h"
#include "widgets/UntGlassActiveLabel.h"
#include "widgets/UntGlassPanel.h"
#include "widgets/UntGlassToolButton.h"

#include <QLabel>
#include <QMouseEvent>

TFrmAbout::TFrmAbout(QWidget* parent, TOpenAddress openAddress)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      openAddress_(openAddress ? std::move(openAddress) : TOpenAddress([](const std::string& a) { shellOpen(a); }))
{
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(297, 128);
    setModal(true);

    // The whole window: the panels' colours, running from left to right here.
    GlassPanel1 = new TGlassPanel(this);
    GlassPanel1->setGeometry(rect());
    GlassPanel1->setVerticalGradient(false);

    auto* picture = new QLabel(GlassPanel1);
    picture->setPixmap(programIcon().pixmap(32, 32));
    picture->setGeometry(12, 12, 32, 32);

    auto* title =
        new QLabel(QStringLiteral("<b>%1</b><br>by %2").arg(QLatin1String(kDesignCaption), QLatin1String(kMakerName)),
                   GlassPanel1);
    title->setWordWrap(true);
    title->setGeometry(56, 8, 233, 40);

    GlassActiveLabel1 = new TGlassActiveLabel(QString::fromLatin1(kMakerWebSite), GlassPanel1);
    GlassActiveLabel1->move(56, 54);
    GlassActiveLabel1->adjustSize();
    GlassActiveLabel1->installEventFilter(this);

    const struct {
        TGlassToolButton*& button;
        const char* caption;
        void (TFrmAbout::*click)();
    } buttons[] = {{GlassToolButton1, "Facebook", &TFrmAbout::GlassToolButton1Click},
                   {GlassToolButton2, "Twitter", &TFrmAbout::GlassToolButton2Click},
                   {GlassToolButton3, "Google+", &TFrmAbout::GlassToolButton3Click}};
    int left = 12;
    for (const auto& entry : buttons) {
        entry.button = new TGlassToolButton(GlassPanel1);
        entry.button->setText(QString::fromLatin1(entry.caption));
        entry.button->setFramed(true);
        entry.button->setGeometry(left, 90, 87, 26);
        connect(entry.button, &QToolButton::clicked, this, entry.click);
        left += 93;
    }
}

bool TFrmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == GlassActiveLabel1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        GlassActiveLabel1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmAbout::showEvent(QShowEvent* event)
{
    if (QWidget* owner = parentWidget())
        move(owner->frameGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TFrmAbout::GlassActiveLabel1Click()
{
    openAddress_(kMakerWebSite);
}

void TFrmAbout::GlassToolButton1Click()
{
    openAddress_(kMakerFacebook);
}

void TFrmAbout::GlassToolButton2Click()
{
    openAddress_(kMakerTwitter);
}

void TFrmAbout::GlassToolButton3Click()
{
    openAddress_(kMakerGooglePlus);
}
