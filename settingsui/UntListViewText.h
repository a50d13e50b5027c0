// Reading the captions (first column) of a list view.
#pragma once

#include <string>
#include <string_view>

class QTreeWidget;

// The captions in row order, each followed by CR LF; empty for an empty list.
std::string listCaptionsToText(const QTreeWidget& list);
// True when a caption equals the text, folding only a-z; stops at the first match.
bool isInListView(std::string_view text, const QTreeWidget& list);
