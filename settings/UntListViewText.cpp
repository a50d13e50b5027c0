#include "settings/UntListViewText.h"

#include "util/UntText.h"

#include <QTreeWidget>

std::string listCaptionsToText(const QTreeWidget& list)
{
    std::string text;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        text += list.topLevelItem(i)->text(0).toStdString();
        text += "\r\n";
    }
    return text;
}

bool isInListView(std::string_view text, const QTreeWidget& list)
{
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        if (sameText(list.topLevelItem(i)->text(0).toStdString(), text))
            return true;
    }
    return false;
}
