#include "settingsui/UntSettings.h"

#include "settings/UntConfigPath.h"
#include "settingsui/UntAddExtension.h"
#include "settingsui/UntBrowseFolder.h"
#include "settingsui/UntListViewText.h"
#include "settingsui/UntSettingsImages.h"
#include "util/UntText.h"
#include "widgets/UntGlassPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QHideEvent>
#include <QKeyEvent>
#include <QShowEvent>
#include <QTimer>
#include <QTreeWidget>

namespace {

constexpr int kPictureRole = TFrmSettings::kPictureRole;

QTreeWidgetItem* addNode(QTreeWidget* tree, QTreeWidgetItem* parent, const QString& caption, int picture)
{
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    node->setText(0, caption);
    node->setToolTip(0, caption);
    node->setIcon(0, settingsPicture(picture));
    node->setData(0, kPictureRole, picture);
    return node;
}

} // namespace

TFrmSettings::TFrmSettings(TSettingsEnvironment environment, QWidget* parent)
    : QDialog(parent),
      configPath_(environment.configPath.empty() ? configFilePath() : std::move(environment.configPath)),
      system_(environment.system ? *environment.system : defaultSettingsSystem()),
      prompts_(environment.prompts ? *environment.prompts : defaultSettingsPrompts()),
      pickFolder_(environment.pickFolder ? std::move(environment.pickFolder) : TFolderPicker(browseForFolder)),
      showAbout_(std::move(environment.showAbout))
{
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(627, 329);
    setModal(true);

    Timer = new QTimer(this);
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, &TFrmSettings::timerTimer);

    buildTree();
    buildPages();
    fillEventRows();
    setTabOrder(Tree, cAutoCapture);

    addExtension_ = new TFrmAddExtension([this](const std::string& text) { addExtensions(text); }, this);

    Tree->expandAll();
    // Said once, here: later reads of the same file would only repeat it.
    if (const std::size_t unreadLines = restoreSettings(); unreadLines > 0)
        prompts_.showWarning(parentWidget(), QApplication::applicationDisplayName(),
                             QString::fromStdString(unreadSettingsText(configPath_, unreadLines)));
}

TFrmSettings::~TFrmSettings() = default;

void TFrmSettings::buildTree()
{
    Tree = new QTreeWidget(this);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setGeometry(4, 4, 189, 321);
    Tree->setHeaderHidden(true);
    Tree->setIndentation(19);
    Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Tree->setExpandsOnDoubleClick(false);
    addNode(Tree, nullptr, QStringLiteral("General Settings"), picGeneral);
    addNode(Tree, nullptr, QStringLiteral("Drives to Monitor"), picDrive);
    QTreeWidgetItem* filters = addNode(Tree, nullptr, QStringLiteral("Filters Manager"), picFilters);
    addNode(Tree, filters, QStringLiteral("Extension and Folders"), picFolders);
    addNode(Tree, filters, QStringLiteral("Events Filters"), picEvents);
    addNode(Tree, nullptr, QStringLiteral("About"), picAbout);
    connect(Tree, &QTreeWidget::itemClicked, this, [this] { treeClick(); });
    Tree->installEventFilter(this);
}

bool TFrmSettings::eventFilter(QObject* watched, QEvent* event)
{
    // Keyboard users open a node's page with Enter or Space, as a click would.
    if (watched == Tree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            treeClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmSettings::showPage(TGlassPanel* page)
{
    for (TGlassPanel* each : {P1, p2, P3, P4})
        each->setVisible(each == page);
    page->raise();
}

void TFrmSettings::treeClick()
{
    const QList<QTreeWidgetItem*> selected = Tree->selectedItems();
    if (selected.isEmpty())
        return;
    switch (selected.front()->data(0, kPictureRole).toInt()) {
    case picGeneral:
        showPage(P1);
        break;
    case picDrive:
        refreshDrives();
        showPage(p2);
        break;
    case picFolders:
        showPage(P3);
        break;
    case picEvents:
        showPage(P4);
        break;
    case picAbout:
        if (showAbout_)
            showAbout_();
        break;
    default:
        break;
    }
}

void TFrmSettings::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (parentWidget() && !event->spontaneous())
        move(parentWidget()->window()->geometry().center() - rect().center());
    Timer->start();
}

void TFrmSettings::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    // A hide by the window system (another desktop, say) is not the user closing the window.
    if (event->spontaneous())
        return;
    Timer->stop();
    // The window is already hidden, and stays hidden when the file cannot be written.
    try {
        saveSettings();
    } catch (const std::exception& error) { // TIniWriteError: "Unable to write to <path>"
        prompts_.showError(nullptr, QApplication::applicationDisplayName(), QString::fromStdString(error.what()));
    }
}

bool TFrmSettings::isRefreshTimerActive() const
{
    return Timer->isActive();
}

void TFrmSettings::timerTimer()
{
    // A folder's colour follows whether it exists now.
    for (int i = 0; i < lstpath->topLevelItemCount(); ++i)
        colourPathRow(lstpath->topLevelItem(i));
}

TSettingsData TFrmSettings::settingsFromWindow() const
{
    TSettingsData data;
    for (int i = 0; i < kEventCount && i < lstevents->topLevelItemCount(); ++i)
        data.events[static_cast<std::size_t>(i)] = eventRowChecked(i);
    data.cAutoCapture = cAutoCapture->isChecked();
    data.cTray = cTray->isChecked();
    data.cautoclean = cautoclean->isChecked();
    data.cAutoExpand = cAutoExpand->isChecked();
    for (int i = 0; i < lstext->topLevelItemCount(); ++i)
        data.extensions.push_back(lstext->topLevelItem(i)->text(0).toStdString());
    for (int i = 0; i < lstpath->topLevelItemCount(); ++i)
        data.folders.push_back(lstpath->topLevelItem(i)->text(0).toStdString());
    return data;
}

void TFrmSettings::settingsToWindow(const TSettingsData& data, const std::vector<std::string>& addedExtensions)
{
    for (int i = 0; i < kEventCount && i < lstevents->topLevelItemCount(); ++i)
        lstevents->topLevelItem(i)->setCheckState(0, data.events[static_cast<std::size_t>(i)] ? Qt::Checked
                                                                                              : Qt::Unchecked);
    cAutoCapture->setChecked(data.cAutoCapture);
    cTray->setChecked(data.cTray);
    cautoclean->setChecked(data.cautoclean);
    cAutoExpand->setChecked(data.cAutoExpand);
    for (const std::string& entry : addedExtensions)
        addExtensionRow(entry);
    // Rebuilt only when different, so an unchanged list keeps its selection.
    if (data.folders != settingsFromWindow().folders)
        restoreDirsFilters(entriesToListText(data.folders));
}

void TFrmSettings::saveSettings()
{
    TSettingsData data = settingsFromWindow();
    const auto rowsBefore = static_cast<std::ptrdiff_t>(data.extensions.size());
    std::vector<std::string> added;
    try {
        added = ::saveSettings(configPath_, data);
    } catch (...) {
        // The file has been read back into data all the same (stored extensions appended after
        // the window's own): show what it holds, then report.
        settingsToWindow(data, {data.extensions.begin() + rowsBefore, data.extensions.end()});
        throw;
    }
    settingsToWindow(data, added);
}

std::size_t TFrmSettings::restoreSettings()
{
    TSettingsData data = settingsFromWindow();
    std::size_t unreadLines = 0;
    const std::vector<std::string> added = ::restoreSettings(configPath_, data, &unreadLines);
    settingsToWindow(data, added);
    return unreadLines;
}

int TFrmSettings::driveRowCount() const
{
    return ListDrives->topLevelItemCount();
}

std::string TFrmSettings::driveRowCaption(int index) const
{
    const QTreeWidgetItem* row = ListDrives->topLevelItem(index);
    return row ? row->text(0).toStdString() : std::string();
}

bool TFrmSettings::driveRowChecked(int index) const
{
    const QTreeWidgetItem* row = ListDrives->topLevelItem(index);
    return row && row->checkState(0) == Qt::Checked;
}

int TFrmSettings::eventRowCount() const
{
    return lstevents->topLevelItemCount();
}

bool TFrmSettings::eventRowChecked(int index) const
{
    const QTreeWidgetItem* row = lstevents->topLevelItem(index);
    return row && row->checkState(0) == Qt::Checked;
}

std::string TFrmSettings::extensionsText() const
{
    return listCaptionsToText(*lstext);
}

std::string TFrmSettings::excludedFoldersText() const
{
    return listCaptionsToText(*lstpath);
}

bool TFrmSettings::autoCapture() const
{
    return cAutoCapture->isChecked();
}

bool TFrmSettings::tray() const
{
    return cTray->isChecked();
}

bool TFrmSettings::autoClean() const
{
    return cautoclean->isChecked();
}

bool TFrmSettings::autoExpand() const
{
    return cAutoExpand->isChecked();
}

int TFrmSettings::pictureOf(const QWidget* button)
{
    const QVariant value = button->property("picture");
    return value.isValid() ? value.toInt() : -1;
}

int TFrmSettings::pictureOf(const QTreeWidgetItem* item)
{
    const QVariant value = item->data(0, kPictureRole);
    return value.isValid() ? value.toInt() : -1;
}
