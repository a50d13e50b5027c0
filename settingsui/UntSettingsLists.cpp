// The event, extension and folder lists of the settings window.
#include "settingsui/UntSettings.h"

#include "events/UntEvents.h"
#include "settings/UntExtensionParser.h"
#include "settingsui/UntAddExtension.h"
#include "settingsui/UntListViewText.h"
#include "settingsui/UntSettingsImages.h"
#include "util/UntText.h"
#include "widgets/UntIconRegistry.h"

#include <QFileInfo>
#include <QTreeWidget>

void TFrmSettings::fillEventRows()
{
    lstevents->clear();
    for (const std::string& name : eventNames()) {
        auto* row = new QTreeWidgetItem(lstevents);
        row->setText(0, QString::fromStdString(name));
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Checked);
        eventRowChanged(row);
    }
}

void TFrmSettings::eventRowChanged(QTreeWidgetItem* item)
{
    // Changing the icon and colour signals a change of the row again.
    if (updatingEventRow_)
        return;
    updatingEventRow_ = true;
    const bool checked = item->checkState(0) == Qt::Checked;
    const int picture = checked ? picEventOn : picEventOff;
    if (pictureOf(item) != picture) {
        item->setIcon(0, settingsPicture(picture));
        item->setData(0, kPictureRole, picture);
        item->setForeground(0, checked ? Qt::black : Qt::red);
    }
    updatingEventRow_ = false;
}

void TFrmSettings::lsteventsDblClick()
{
    QTreeWidgetItem* row = lstevents->currentItem();
    if (!row || !row->isSelected())
        return;
    row->setCheckState(0, row->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void TFrmSettings::lstpathDblClick()
{
    QTreeWidgetItem* row = lstpath->currentItem();
    if (row && row->isSelected())
        system_.shellOpen(row->text(0).toStdString());
}

void TFrmSettings::colourPathRow(QTreeWidgetItem* item) const
{
    const bool exists = QFileInfo(item->text(0)).isDir();
    const QBrush wanted = exists ? QBrush(Qt::black) : QBrush(Qt::red);
    if (item->foreground(0) != wanted)
        item->setForeground(0, wanted);
}

void TFrmSettings::addPathRow(const std::string& path)
{
    auto* row = new QTreeWidgetItem(lstpath);
    row->setText(0, QString::fromStdString(path));
    row->setIcon(0, TIconRegistry::instance().icon(getPathIconIndex(path)));
    colourPathRow(row);
}

void TFrmSettings::restoreDirsFilters(const std::string& listText)
{
    lstpath->clear();
    for (const std::string& line : splitLines(listText))
        addPathRow(line);
}

void TFrmSettings::addExtensionRow(const std::string& entry)
{
    auto* row = new QTreeWidgetItem(lstext);
    row->setText(0, QString::fromStdString(entry));
    row->setText(1, TIconRegistry::instance().typeName(entry));
    row->setIcon(0, TIconRegistry::instance().icon(getExtIconIndex(entry)));
}

void TFrmSettings::addExtensions(const std::string& text)
{
    std::vector<std::string> entries;
    for (int i = 0; i < lstext->topLevelItemCount(); ++i)
        entries.push_back(lstext->topLevelItem(i)->text(0).toStdString());
    for (const std::string& entry : ::addExtensions(text, entries))
        addExtensionRow(entry);
}

void TFrmSettings::tbAddExtClick()
{
    addExtension_->exec();
}

void TFrmSettings::tbAddPathClick()
{
    std::string path = pickFolder_("Select path to exclude from capture", system_.systemDriveRoot(), false);
    // A line break would split the folder in two in the stored list.
    if (isBlank(path) || path.find_first_of("\r\n") != std::string::npos)
        return;
    const char separator = pathSeparator(kNativePathStyle);
    if (path.back() != separator)
        path += separator;
    if (isInListView(path, *lstpath))
        return;
    addPathRow(path);
}

void TFrmSettings::deleteListItems(QTreeWidget* list)
{
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) {
        prompts_.showError(this, QStringLiteral("No Selected Items"),
                           QStringLiteral("You must at least select one item to use this!"));
        return;
    }
    if (!prompts_.confirm(this, QStringLiteral("Remove extensions"),
                          QStringLiteral("You are about to remove extensions filter(s), Are you sure?")))
        return;
    qDeleteAll(selected);
}
