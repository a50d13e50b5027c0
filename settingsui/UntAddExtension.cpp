#include "settingsui/UntAddExtension.h"

#include "settingsui/UntSettingsImages.h"
#include "widgets/UntGlassBars.h"
#include "widgets/UntGlassPanel.h"
#include "widgets/UntGlassToolButton.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>

#include <algorithm>

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

TGlassToolButton* makeButton(QWidget* parent, const QString& text, int picture, int left)
{
    auto* button = new TGlassToolButton(parent);
    button->setFramed(true);
    button->setText(text);
    button->setIcon(settingsPicture(picture));
    button->setIconSize(QSize(16, 16));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setGeometry(left, 9, 100, 24);
    button->setProperty("picture", picture);
    return button;
}

} // namespace

TFrmAddExtension::TFrmAddExtension(std::function<void(const std::string&)> addExtensions, QWidget* parent)
    : QDialog(parent), addExtensions_(std::move(addExtensions))
{
    setWindowTitle(QStringLiteral("Extension Filter"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(308, 126);
    setModal(true);

    // The whole window, without border lines.
    pCore = new TGlassPanel(this);
    pCore->setGeometry(0, 0, 308, 126);
    pCore->setInnerBorders({});
    pCore->setOuterBorders({});
    Label1 = makeLabel(pCore, QStringLiteral("Extension to capture : "), 8, 8);
    edtext = new QLineEdit(pCore);
    Label1->setBuddy(edtext);
    Label2 = makeLabel(pCore, QStringLiteral("( ex: .exe )"), 248, 8);
    // The design places, unless the desktop's font needs more room for the labels: then the
    // edit box gives way.
    const int editLeft = std::max(130, Label1->geometry().right() + 4);
    const int label2Left = std::min(248, width() - 6 - Label2->width());
    edtext->setGeometry(editLeft, 5, std::max(40, std::min(112, label2Left - 6 - editLeft)), 23);
    Label2->move(edtext->geometry().right() + 7, 8);
    Label3 = new QLabel(QStringLiteral("Notice: to add several extensions at the same time use the comma. "
                                       "(example: .exe,.bat,.com,.scr,.pif) "),
                        pCore);
    Label3->setWordWrap(true);
    Label3->setGeometry(8, 40, 287, 49);
    GlassInformationBar1 = new TGlassInformationBar(pCore);
    GlassInformationBar1->setGeometry(0, 86, 308, 40);
    GlassToolButton1 = makeButton(GlassInformationBar1, QStringLiteral("&Add"), picAdd, 200);
    GlassToolButton2 = makeButton(GlassInformationBar1, QStringLiteral("&Cancel"), picRemove, 94);
    connect(GlassToolButton1, &QAbstractButton::clicked, this, [this] { save(); });
    connect(GlassToolButton2, &QAbstractButton::clicked, this, [this] { close(); });

    setTabOrder(edtext, GlassToolButton1);
    setTabOrder(GlassToolButton1, GlassToolButton2);
    // The window sees Enter and Escape before the focused control does.
    for (QWidget* child : {static_cast<QWidget*>(edtext), static_cast<QWidget*>(GlassToolButton1),
                           static_cast<QWidget*>(GlassToolButton2)})
        child->installEventFilter(this);
}

void TFrmAddExtension::save()
{
    addExtensions_(edtext->text().toStdString());
    close();
}

void TFrmAddExtension::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Back from another desktop: the dialog keeps what was typed.
    if (event->spontaneous())
        return;
    // Centred on the main window: the first window of the chain of owners (the settings window
    // that opens the dialog belongs to it).
    QWidget* owner = parentWidget();
    while (owner && owner->parentWidget())
        owner = owner->parentWidget();
    if (owner)
        move(owner->frameGeometry().center() - rect().center());
    edtext->clear();
    edtext->setFocus();
}

bool TFrmAddExtension::handleKey(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        save();
        return true;
    case Qt::Key_Escape:
        close();
        return true;
    default:
        return false;
    }
}

void TFrmAddExtension::keyPressEvent(QKeyEvent* event)
{
    if (!handleKey(event))
        QDialog::keyPressEvent(event);
}

bool TFrmAddExtension::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}
