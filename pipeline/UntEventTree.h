// The folder tree rebuilt from the paths of the tree events. Plain C++: the desktop program
// adapts it to its item model through TTreeObserver.
//
// Nodes live in one arena and keep their id until they are removed (a deleted directory's
// children, or clear()); ids of removed nodes are reused. kNoNode stands for the top level.
#pragma once

#include "pipeline/UntMarks.h"
#include "pipeline/UntNodeIndex.h"
#include "pipeline/UntViewIcons.h"
#include "util/UntText.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using TNodeId = std::uint32_t;
inline constexpr TNodeId kNoNode = 0xFFFFFFFFu;

// Change notifications, in the order an item model needs them: every begin call comes before
// the tree changes, its end call after. All calls happen on the thread that changes the tree.
class TTreeObserver {
public:
    virtual ~TTreeObserver() = default;
    virtual void beginInsertNodes(TNodeId parent, int firstRow, int count) = 0;
    virtual void endInsertNodes() = 0;
    // Always all children of parent: rows 0 to count - 1.
    virtual void beginRemoveNodes(TNodeId parent, int firstRow, int count) = 0;
    virtual void endRemoveNodes() = 0;
    // Text, icon or mark of an existing node changed.
    virtual void nodeChanged(TNodeId id) = 0;
    virtual void beginReset() = 0;
    virtual void endReset() = 0;
};

// The text between the parentheses of a deleted item: the local time of day.
using TTimeTextFn = std::function<std::string()>;
std::string localTimeText();

class TEventTree {
public:
    explicit TEventTree(std::shared_ptr<TIconSource> icons = std::make_shared<TNullIconSource>(),
                        TPathStyle style = kNativePathStyle, TTimeTextFn timeText = localTimeText);
    TEventTree(const TEventTree&) = delete;
    TEventTree& operator=(const TEventTree&) = delete;

    // Not owned; null to stop notifications.
    void setObserver(TTreeObserver* observer) { observer_ = observer; }

    // Adds the first path's nodes; marks the last one for deletions and renames. Returns the
    // node of the path's last segment (kNoNode when the path has none).
    TNodeId addDirectoryFile(std::string_view item1, std::string_view item2, int eventNum);
    void clear();

    // The first child of parent (kNoNode: the top level) whose text equals segment without
    // regard to case; none when there is none or when that first match is a deleted item.
    TNodeId findChildNode(std::string_view segment, TNodeId parent) const;
    // Top level: its text. Below: the texts from the top down, each followed by the separator
    // unless it already ends in one.
    std::string getNodePath(TNodeId id) const;
    // getNodePath without the final separator of a node below the top level.
    std::string getNodeFilePath(TNodeId id) const;

    std::size_t nodeCount() const { return nodes_.size() - 1 - free_.size(); }
    // What the nodes keep, in bytes: exact for the arena and the index, estimated for the texts
    // and child lists they own.
    std::size_t memoryBytes() const;
    TPathStyle getPathStyle() const { return style_; }

    const std::string& getText(TNodeId id) const { return node(id).text; }
    int getIcon(TNodeId id) const { return node(id).icon; }
    int getMark(TNodeId id) const { return node(id).mark; }

    // Navigation for an item model; kNoNode is the top level.
    TNodeId parent(TNodeId id) const;
    TNodeId child(TNodeId parent, int row) const;
    int row(TNodeId id) const { return static_cast<int>(node(id).row); }
    int childCount(TNodeId parent) const { return static_cast<int>(node(slot(parent)).children.size()); }
    bool isValid(TNodeId id) const;

    // Every node in display order of the fully expanded tree, with its depth (0 = top level).
    void forEachNode(const std::function<void(TNodeId id, std::uint16_t level)>& visit) const;

private:
    struct TNode {
        std::string text;
        std::vector<TNodeId> children;
        TNodeId parent = 0;
        std::uint32_t row = 0;
        // Siblings with the same folded text, in row order, as a ring.
        TNodeId prevSame = 0;
        TNodeId nextSame = 0;
        std::int32_t icon = 0;
        std::uint8_t mark = mkNone;
        bool live = false;
    };
    static constexpr TNodeId kRoot = 0;
    static TNodeId slot(TNodeId id) { return id == kNoNode ? kRoot : id; }
    static TNodeId outside(TNodeId id) { return id == kRoot ? kNoNode : id; }
    const TNode& node(TNodeId id) const { return nodes_[slot(id)]; }

    TNodeId addNode(TNodeId parent, std::string_view text, int icon);
    // The path a child of parent with this text has (parent below the top level or on it).
    std::string pathBelow(TNodeId parent, std::string_view text) const;
    void markNode(TNodeId id, std::string_view item2, int eventNum);
    void setNodeText(TNodeId id, std::string text);
    void removeChildren(TNodeId parent);
    void linkSame(TNodeId id);
    void unlinkSame(TNodeId id);
    TNodeId firstSame(TNodeId parent, std::string_view text) const;
    static std::uint32_t keyHash(TNodeId parent, std::string_view text);
    std::uint32_t keyHash(TNodeId id) const { return keyHash(nodes_[id].parent, nodes_[id].text); }
    bool isFirstSame(TNodeId id) const { return firstSame(nodes_[id].parent, nodes_[id].text) == id; }

    std::shared_ptr<TIconSource> icons_;
    TPathStyle style_;
    TTimeTextFn timeText_;
    TTreeObserver* observer_ = nullptr;
    std::vector<TNode> nodes_;
    std::vector<TNodeId> free_;
    // The first child of each (parent, folded text); the rest hang on its ring.
    TNodeIndex firstByText_;
};
