#include "settingsui/UntListViewText.h"

#include "util/UntText.h"

#include <QTreeWidget>

std::string listCaptionsToText(const QTreeWidget& list)
{
    std::vector<std::string> captions;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        captions.push_back(list.topLevelItem(i)->text(0).toStdString());
    return entriesToListText(captions);
}

bool isInListView(std::string_view text, const QTreeWidget& list)
{
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        if (sameText(list.topLevelItem(i)->text(0).toStdString(), text))
            return true;
    }
    return false;
}
