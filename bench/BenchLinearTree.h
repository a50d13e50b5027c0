// The baseline tree for the window benchmark: the same nodes, texts, marks and notifications as
// TEventTree, but each child is found by comparing every sibling in order.
#pragma once

#include "events/UntEvents.h"
#include "pipeline/UntEventTree.h"

#include <memory>
#include <string>
#include <vector>

class TLinearTree {
public:
    TLinearTree(std::shared_ptr<TIconSource> icons, TTimeTextFn timeText)
        : icons_(std::move(icons)), timeText_(std::move(timeText))
    {
        nodes_.emplace_back();
    }

    void setObserver(TTreeObserver* observer) { observer_ = observer; }

    TNodeId addDirectoryFile(std::string_view item1, std::string_view item2, int eventNum)
    {
        const std::vector<std::string_view> segments = splitPath(item1, TPathStyle::Posix);
        TNodeId parent = 0;
        for (std::size_t k = 0; k < segments.size(); ++k) {
            std::string_view segment = segments[k];
            if (k == 0 && segment.empty())
                segment = "/";
            if (isBlank(segment))
                continue;
            TNodeId found = findChildNode(segment, parent);
            if (found == 0) {
                std::string path = pathOf(parent) + std::string(segment);
                found = addNode(parent, segment, k == 0 ? icons_->extIcon(path) : icons_->pathIcon(path + "/"));
            }
            if (k > 0 && k + 1 == segments.size() &&
                (eventNum == evDelete || eventNum == evRmDir || eventNum == evRenameFile || eventNum == evRenameFolder))
                markNode(found, item2, eventNum);
            parent = found;
        }
        return outside(parent);
    }

    std::size_t nodeCount() const { return nodes_.size() - 1; }
    TPathStyle getPathStyle() const { return TPathStyle::Posix; }

    TNodeId parent(TNodeId id) const { return outside(nodes_[slot(id)].parent); }
    TNodeId child(TNodeId parent, int row) const
    {
        const auto& children = nodes_[slot(parent)].children;
        return row >= 0 && static_cast<std::size_t>(row) < children.size() ? children[static_cast<std::size_t>(row)]
                                                                           : kNoNode;
    }
    int row(TNodeId id) const { return nodes_[slot(id)].row; }
    int childCount(TNodeId parent) const { return static_cast<int>(nodes_[slot(parent)].children.size()); }
    const std::string& getText(TNodeId id) const { return nodes_[slot(id)].text; }
    int getIcon(TNodeId id) const { return nodes_[slot(id)].icon; }
    int getMark(TNodeId id) const { return nodes_[slot(id)].mark; }

private:
    struct TNode {
        std::string text;
        std::vector<TNodeId> children;
        TNodeId parent = 0;
        int row = 0;
        int icon = 0;
        int mark = 0;
    };
    static TNodeId slot(TNodeId id) { return id == kNoNode ? 0 : id; }
    static TNodeId outside(TNodeId id) { return id == 0 ? kNoNode : id; }

    TNodeId findChildNode(std::string_view segment, TNodeId parent) const
    {
        for (TNodeId id : nodes_[parent].children)
            if (sameText(nodes_[id].text, segment))
                return nodes_[id].mark == mkDeleted ? 0 : id;
        return 0;
    }
    std::string pathOf(TNodeId id) const
    {
        std::string path;
        for (TNodeId at = id; at != 0; at = nodes_[at].parent)
            path = (nodes_[at].text == "/" ? std::string() : nodes_[at].text) + "/" + path;
        return path;
    }
    TNodeId addNode(TNodeId parent, std::string_view text, int icon)
    {
        const int row = static_cast<int>(nodes_[parent].children.size());
        if (observer_)
            observer_->beginInsertNodes(outside(parent), row, 1);
        const auto id = static_cast<TNodeId>(nodes_.size());
        nodes_.push_back({std::string(text), {}, parent, row, icon, 0});
        nodes_[parent].children.push_back(id);
        if (observer_)
            observer_->endInsertNodes();
        return id;
    }
    void markNode(TNodeId id, std::string_view item2, int eventNum)
    {
        TNode& n = nodes_[id];
        if (eventNum == evDelete || eventNum == evRmDir) {
            n.text = "(" + timeText_() + ") " + n.text;
            n.mark = mkDeleted;
            n.icon = eventNum == evDelete ? icons_->extIcon(n.text) : icons_->windowsDirIcon();
            if (eventNum == evRmDir && !n.children.empty()) {
                // Removed nodes stay in the arena; only their links go.
                if (observer_)
                    observer_->beginRemoveNodes(id, 0, static_cast<int>(n.children.size()));
                nodes_[id].children.clear();
                if (observer_)
                    observer_->endRemoveNodes();
            }
        } else {
            n.text += " -> " + std::string(fileNamePart(item2, TPathStyle::Posix));
            n.mark = mkRenamed;
            n.icon = eventNum == evRenameFile ? icons_->extIcon(n.text) : icons_->windowsDirIcon();
        }
        if (observer_)
            observer_->nodeChanged(id);
    }

    std::shared_ptr<TIconSource> icons_;
    TTimeTextFn timeText_;
    TTreeObserver* observer_ = nullptr;
    std::vector<TNode> nodes_;
};
