// The drives page: one checked row per drive, with its file system and a usage bar.
#include "settingsui/UntSettings.h"

#include "widgets/UntGlassProgressBar.h"
#include "widgets/UntIconRegistry.h"

#include <QHBoxLayout>
#include <QTreeWidget>

namespace {

// Used share in whole per cent, truncated; a drive that reports no size shows an empty bar.
int usedPercent(std::uint64_t total, std::uint64_t free)
{
    if (total == 0 || free >= total)
        return 0;
    return static_cast<int>((total - free) * 100 / total);
}

constexpr int kRedFromPercent = 90;

} // namespace

void TFrmSettings::refreshDrives()
{
    // The bars of the old rows are item widgets: they go with their rows.
    for (int i = 0; i < ListDrives->topLevelItemCount(); ++i) {
        if (QWidget* cell = ListDrives->itemWidget(ListDrives->topLevelItem(i), 2))
            cell->hide();
    }
    ListDrives->clear();

    for (const std::string& root : system_.fixedDrives()) {
        auto* row = new QTreeWidgetItem(ListDrives);
        row->setText(0, QString::fromStdString(root));
        row->setToolTip(0, row->text(0)); // a long mount point does not fit its column
        row->setIcon(0, TIconRegistry::instance().icon(getExtIconIndex(root)));
        row->setText(1, QString::fromStdString(system_.fileSystemName(root)));
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Checked);

        const int percent = usedPercent(system_.diskSpace(root, true), system_.diskSpace(root, false));
        auto* cell = new QWidget;
        auto* layout = new QHBoxLayout(cell);
        layout->setContentsMargins(4, 2, 4, 4);
        auto* bar = new TGlassProgressBar(cell);
        bar->setMax(100);
        bar->setPosition(percent);
        if (percent >= kRedFromPercent)
            bar->setColor(Qt::red);
        layout->addWidget(bar);
        ListDrives->setItemWidget(row, 2, cell);
    }
}
