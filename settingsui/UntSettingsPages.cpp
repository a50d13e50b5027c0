// The four pages of the settings window and their controls, at their design places.
#include "settingsui/UntSettings.h"

#include "settingsui/UntSettingsImages.h"
#include "widgets/UntGlassActiveLabel.h"
#include "widgets/UntGlassPanel.h"
#include "widgets/UntGlassToolButton.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>

#include <algorithm>

namespace {

// A report-style list: no header, grid look, whole-row multiple selection, read only.
QTreeWidget* makeList(QWidget* parent, const char* name, QRect geometry, const std::vector<int>& widths)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setGeometry(geometry);
    list->setHeaderHidden(true);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setItemsExpandable(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setIconSize(QSize(16, 16));
    list->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid #e4e4e4; "
                                       "border-bottom: 1px solid #e4e4e4; }"));
    list->setColumnCount(static_cast<int>(widths.size()) + 1);
    list->header()->setStretchLastSection(true);
    for (std::size_t i = 0; i < widths.size(); ++i)
        list->setColumnWidth(static_cast<int>(i), widths[i]);
    return list;
}

TGlassActiveLabel* makeLabel(QWidget* parent, const QString& text, int left, int top)
{
    auto* label = new TGlassActiveLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLabel* makeRecordingDot(QWidget* parent)
{
    auto* dot = new QLabel(parent);
    dot->setPixmap(recordingPicture().pixmap(16, 16));
    dot->setGeometry(8, 300, 16, 16);
    dot->hide();
    return dot;
}

TGlassPanel* makePage(QWidget* parent, const char* name)
{
    auto* page = new TGlassPanel(parent);
    page->setObjectName(QString::fromLatin1(name));
    page->setGeometry(199, 4, 424, 321);
    return page;
}

TGlassToolButton* makeButton(QWidget* parent, int left, int top, const QString& tip)
{
    auto* button = new TGlassToolButton(parent);
    button->setGeometry(left, top, 22, 22);
    button->setIconSize(QSize(16, 16));
    button->setToolTip(tip);
    return button;
}

QCheckBox* makeCheck(QWidget* parent, const QString& text, int top)
{
    auto* box = new QCheckBox(text, parent);
    // The design width, or more where the desktop's font needs it.
    box->setGeometry(8, top, std::min(std::max(321, box->sizeHint().width()), parent->width() - 16),
                     box->sizeHint().height());
    return box;
}

} // namespace

void TFrmSettings::buildPages()
{
    buildDrivesPage();
    buildFiltersPage();
    buildEventsPage();
    buildGeneralPage(); // created last, so in front
}

void TFrmSettings::buildDrivesPage()
{
    p2 = makePage(this, "p2");
    GlassActiveLabel1 = makeLabel(p2, QStringLiteral("Select Drives to Monitor (default capture all)"), 8, 8);
    ListDrives = makeList(p2, "ListDrives", QRect(8, 29, 408, 284), {100, 90});
    ListDrives->setColumnWidth(2, 205);
    ImgRec1 = makeRecordingDot(p2);
    labelrec1 = makeLabel(p2, QStringLiteral("You can't change drive to Monitor while recording."), 24, 299);
    labelrec1->hide();
}

void TFrmSettings::buildFiltersPage()
{
    P3 = makePage(this, "P3");
    GlassActiveLabel2 =
        makeLabel(P3, QStringLiteral("Only capture the following extensions (default capture all) :"), 8, 8);
    lstext = makeList(P3, "lstext", QRect(8, 29, 385, 124), {100});
    tbAddExt = makeButton(P3, 397, 29, QStringLiteral("Add extensions"));
    tbDeleteExt = makeButton(P3, 397, 55, QStringLiteral("Remove the selected extensions"));
    GlassActiveLabel3 = makeLabel(P3, QStringLiteral("Do not capture following paths :"), 8, 159);
    lstpath = makeList(P3, "lstpath", QRect(8, 180, 385, 133), {});
    tbAddPath = makeButton(P3, 397, 180, QStringLiteral("Add a folder"));
    tbDelPath = makeButton(P3, 397, 206, QStringLiteral("Remove the selected folders"));
    ImgRec2 = makeRecordingDot(P3);
    labelREC2 = makeLabel(P3, QStringLiteral("You can't change filters while recording."), 24, 299);
    labelREC2->hide();
    for (TGlassToolButton* add : {tbAddExt, tbAddPath})
        setButtonPicture(add, picAdd);
    for (TGlassToolButton* remove : {tbDeleteExt, tbDelPath})
        setButtonPicture(remove, picRemove);

    connect(tbAddExt, &QAbstractButton::clicked, this, [this] { tbAddExtClick(); });
    connect(tbDeleteExt, &QAbstractButton::clicked, this, [this] { deleteListItems(lstext); });
    connect(tbAddPath, &QAbstractButton::clicked, this, [this] { tbAddPathClick(); });
    connect(tbDelPath, &QAbstractButton::clicked, this, [this] { deleteListItems(lstpath); });
    connect(lstpath, &QTreeWidget::itemDoubleClicked, this, [this] { lstpathDblClick(); });
}

void TFrmSettings::buildEventsPage()
{
    P4 = makePage(this, "P4");
    GlassActiveLabel4 = makeLabel(P4, QStringLiteral("Select Events you need to capture (Default capture all)"), 8, 8);
    lstevents = makeList(P4, "lstevents", QRect(8, 29, 408, 284), {});
    ImgREC3 = makeRecordingDot(P4);
    labelREC3 = makeLabel(P4, QStringLiteral("You can't change events status while recording."), 24, 299);
    labelREC3->hide();
    connect(lstevents, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { eventRowChanged(item); });
    connect(lstevents, &QTreeWidget::itemDoubleClicked, this, [this] { lsteventsDblClick(); });
}

void TFrmSettings::buildGeneralPage()
{
    P1 = makePage(this, "P1");
    cAutoCapture = makeCheck(P1, QStringLiteral("Automatically start the capture on program startup."), 8);
    cTray = makeCheck(P1, QStringLiteral("Minimize application to tray on close."), 26);
    cautoclean = makeCheck(P1, QStringLiteral("Clean Tree / List when you decide to stop record."), 44);
    cAutoExpand = makeCheck(P1, QStringLiteral("Automatically expand tree when adding new results."), 63);
    cAutoExpand->setChecked(true);
}

void TFrmSettings::setButtonPicture(TGlassToolButton* button, int picture)
{
    button->setIcon(settingsPicture(picture));
    button->setProperty("picture", picture);
}

void TFrmSettings::setRecordMode(bool value)
{
    recordMode_ = value;
    for (QTreeWidget* list : {ListDrives, lstpath, lstext, lstevents})
        list->setEnabled(!value);
    for (QWidget* notice : std::initializer_list<QWidget*>{ImgRec1, labelrec1, ImgRec2, labelREC2, ImgREC3, labelREC3})
        notice->setVisible(value);
    for (TGlassToolButton* button : {tbAddPath, tbDelPath, tbAddExt, tbDeleteExt})
        button->setEnabled(!value);
    // While recording the lists give up the bottom line to the notice.
    const int tall = p2->height() - (value ? 55 : 37);
    ListDrives->resize(ListDrives->width(), tall);
    lstevents->resize(lstevents->width(), tall);
    lstpath->resize(lstpath->width(), value ? 115 : 133);
    setButtonPicture(tbAddPath, value ? picAddLocked : picAdd);
    setButtonPicture(tbDelPath, value ? picRemoveLocked : picRemove);
    setButtonPicture(tbAddExt, value ? picAddLocked : picAdd);
    setButtonPicture(tbDeleteExt, value ? picRemoveLocked : picRemove);
}
