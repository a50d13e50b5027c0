#include "pipeline/UntEventTree.h"

#include "events/UntEvents.h"
#include "util/UntFunctions.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace {
bool marksLastNode(int eventNum)
{
    return eventNum == evDelete || eventNum == evRenameFolder || eventNum == evRenameFile || eventNum == evRmDir;
}

// The text after the last separator (the new name of a rename).
std::string_view afterLastSeparator(std::string_view path, TPathStyle style)
{
    const std::size_t cut = path.rfind(pathSeparator(style));
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

void appendPiece(std::string& out, std::string_view text, char sep)
{
    out += text;
    if (text.empty() || text.back() != sep)
        out += sep;
}
} // namespace

std::string localTimeText()
{
    const std::tm local = toLocalTime(std::time(nullptr));
    char buffer[64];
    const std::size_t size = std::strftime(buffer, sizeof buffer, "%X", &local);
    return std::string(buffer, size);
}

std::uint32_t TEventTree::keyHash(TNodeId parent, std::string_view text)
{
    // FNV-1a over the folded bytes, seeded with the parent, then mixed so the low bits spread.
    std::uint64_t hash = 14695981039346656037ull ^ (static_cast<std::uint64_t>(parent) * 0x9E3779B97F4A7C15ull);
    for (char c : text) {
        hash ^= static_cast<unsigned char>(foldChar(c));
        hash *= 1099511628211ull;
    }
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return static_cast<std::uint32_t>(hash);
}

TEventTree::TEventTree(std::shared_ptr<TIconSource> icons, TPathStyle style, TTimeTextFn timeText)
    : icons_(icons ? std::move(icons) : std::make_shared<TNullIconSource>()), style_(style),
      timeText_(timeText ? std::move(timeText) : TTimeTextFn(localTimeText))
{
    nodes_.emplace_back();
    nodes_[kRoot].live = true;
}

TNodeId TEventTree::addDirectoryFile(std::string_view item1, std::string_view item2, int eventNum)
{
    const std::vector<std::string_view> segments = splitPath(item1, style_);
    TNodeId parent = kRoot;
    for (std::size_t k = 0; k < segments.size(); ++k) {
        std::string_view segment = segments[k];
        // An absolute POSIX path hangs below the top-level node "/".
        if (k == 0 && style_ == TPathStyle::Posix && segment.empty())
            segment = "/";
        if (isBlank(segment))
            continue;
        TNodeId found = slot(findChildNode(segment, outside(parent)));
        if (found == kRoot) {
            const std::string path = parent == kRoot ? std::string(segment) : pathBelow(parent, segment);
            found = addNode(parent, segment, k == 0 ? icons_->extIcon(path) : icons_->pathIcon(path));
        }
        if (k > 0 && k + 1 == segments.size() && marksLastNode(eventNum))
            markNode(found, item2, eventNum);
        parent = found;
    }
    return outside(parent);
}

void TEventTree::markNode(TNodeId id, std::string_view item2, int eventNum)
{
    if (eventNum == evDelete || eventNum == evRenameFile)
        nodes_[id].icon = icons_->extIcon(getNodePath(id));
    else
        nodes_[id].icon = icons_->windowsDirIcon();

    if (eventNum == evDelete || eventNum == evRmDir) {
        setNodeText(id, "(" + timeText_() + ") " + nodes_[id].text);
        nodes_[id].mark = mkDeleted;
        if (eventNum == evRmDir)
            removeChildren(id);
    } else {
        std::string text = nodes_[id].text;
        text += " -> ";
        text += afterLastSeparator(item2, style_);
        setNodeText(id, std::move(text));
        nodes_[id].mark = mkRenamed;
    }
    if (observer_)
        observer_->nodeChanged(id);
}

TNodeId TEventTree::addNode(TNodeId parent, std::string_view text, int icon)
{
    const int row = static_cast<int>(nodes_[parent].children.size());
    if (observer_)
        observer_->beginInsertNodes(outside(parent), row, 1);
    TNodeId id;
    if (free_.empty()) {
        id = static_cast<TNodeId>(nodes_.size());
        nodes_.emplace_back();
    } else {
        id = free_.back();
        free_.pop_back();
    }
    TNode& n = nodes_[id];
    n.text.assign(text);
    n.parent = parent;
    n.row = static_cast<std::uint32_t>(row);
    n.icon = icon;
    n.mark = mkNone;
    n.live = true;
    nodes_[parent].children.push_back(id);
    linkSame(id);
    if (observer_)
        observer_->endInsertNodes();
    return id;
}

void TEventTree::setNodeText(TNodeId id, std::string text)
{
    unlinkSame(id);
    nodes_[id].text = std::move(text);
    linkSame(id);
}

void TEventTree::linkSame(TNodeId id)
{
    TNode& n = nodes_[id];
    const std::uint32_t hash = keyHash(id);
    const TNodeId head = firstSame(n.parent, n.text);
    if (head == kNoNode) {
        n.prevSame = n.nextSame = id;
        firstByText_.insert(hash, id);
        return;
    }
    // Walk back from the last one: new nodes are appended, so this is one step almost always.
    TNodeId after = nodes_[head].prevSame;
    while (after != head && nodes_[after].row > n.row)
        after = nodes_[after].prevSame;
    const bool newHead = after == head && nodes_[head].row > n.row;
    if (newHead)
        after = nodes_[head].prevSame;
    const TNodeId before = nodes_[after].nextSame;
    n.prevSame = after;
    n.nextSame = before;
    nodes_[after].nextSame = id;
    nodes_[before].prevSame = id;
    if (newHead) {
        firstByText_.erase(hash, head);
        firstByText_.insert(hash, id);
    }
}

void TEventTree::unlinkSame(TNodeId id)
{
    TNode& n = nodes_[id];
    const std::uint32_t hash = keyHash(id);
    const bool isHead = isFirstSame(id);
    const TNodeId next = n.nextSame;
    if (next != id) {
        nodes_[n.prevSame].nextSame = next;
        nodes_[next].prevSame = n.prevSame;
    }
    if (isHead) {
        firstByText_.erase(hash, id);
        if (next != id)
            firstByText_.insert(hash, next);
    }
    n.prevSame = n.nextSame = id;
}

void TEventTree::removeChildren(TNodeId parent)
{
    const int count = static_cast<int>(nodes_[parent].children.size());
    if (count == 0)
        return;
    if (observer_)
        observer_->beginRemoveNodes(outside(parent), 0, count);
    std::vector<TNodeId> pending;
    pending.swap(nodes_[parent].children);
    while (!pending.empty()) {
        const TNodeId id = pending.back();
        pending.pop_back();
        TNode& n = nodes_[id];
        // Whole sibling groups go at once, so only the rings' heads are in the index.
        firstByText_.erase(keyHash(id), id);
        pending.insert(pending.end(), n.children.begin(), n.children.end());
        std::string().swap(n.text);
        std::vector<TNodeId>().swap(n.children);
        n.live = false;
        free_.push_back(id);
    }
    if (observer_)
        observer_->endRemoveNodes();
}

void TEventTree::clear()
{
    if (observer_)
        observer_->beginReset();
    firstByText_.clear();
    std::vector<TNode>().swap(nodes_);
    std::vector<TNodeId>().swap(free_);
    nodes_.emplace_back();
    nodes_[kRoot].live = true;
    if (observer_)
        observer_->endReset();
}

TNodeId TEventTree::firstSame(TNodeId parent, std::string_view text) const
{
    return firstByText_.find(keyHash(parent, text), [&](TNodeId id) {
        return nodes_[id].parent == parent && sameText(nodes_[id].text, text);
    });
}

TNodeId TEventTree::findChildNode(std::string_view segment, TNodeId parent) const
{
    const TNodeId first = firstSame(slot(parent), segment);
    if (first == kNoNode || nodes_[first].mark == mkDeleted)
        return kNoNode;
    return first;
}

std::string TEventTree::getNodePath(TNodeId id) const
{
    id = slot(id);
    if (id == kRoot)
        return {};
    if (nodes_[id].parent == kRoot)
        return nodes_[id].text;
    return pathBelow(nodes_[id].parent, nodes_[id].text);
}

std::string TEventTree::pathBelow(TNodeId parent, std::string_view text) const
{
    std::vector<TNodeId> chain;
    for (TNodeId at = parent; at != kRoot; at = nodes_[at].parent)
        chain.push_back(at);
    std::string path;
    const char sep = pathSeparator(style_);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        appendPiece(path, nodes_[*it].text, sep);
    appendPiece(path, text, sep);
    return path;
}

std::string TEventTree::getNodeFilePath(TNodeId id) const
{
    std::string path = getNodePath(id);
    if (slot(id) != kRoot && nodes_[slot(id)].parent != kRoot && !path.empty())
        path.pop_back();
    return path;
}

std::size_t TEventTree::memoryBytes() const
{
    // Each live node sits in its parent's child list; texts longer than the string's own buffer
    // take a block of their own, which a typical file or folder name does not need.
    constexpr std::size_t kPerNode = sizeof(TNodeId) + 8;
    return nodes_.capacity() * sizeof(TNode) + free_.capacity() * sizeof(TNodeId) + firstByText_.memoryBytes() +
           nodeCount() * kPerNode;
}

TNodeId TEventTree::parent(TNodeId id) const
{
    return id == kNoNode ? kNoNode : outside(nodes_[id].parent);
}

TNodeId TEventTree::child(TNodeId parent, int row) const
{
    const auto& children = node(slot(parent)).children;
    if (row < 0 || static_cast<std::size_t>(row) >= children.size())
        return kNoNode;
    return children[static_cast<std::size_t>(row)];
}

bool TEventTree::isValid(TNodeId id) const
{
    return id != kNoNode && id != kRoot && id < nodes_.size() && nodes_[id].live;
}

void TEventTree::forEachNode(const std::function<void(TNodeId, std::uint16_t)>& visit) const
{
    std::vector<std::pair<TNodeId, std::uint16_t>> stack;
    const auto pushChildren = [&](TNodeId parent, std::uint16_t level) {
        const auto& children = nodes_[parent].children;
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.emplace_back(*it, level);
    };
    pushChildren(kRoot, 0);
    while (!stack.empty()) {
        const auto [id, level] = stack.back();
        stack.pop_back();
        visit(id, level);
        pushChildren(id, static_cast<std::uint16_t>(std::min<int>(level + 1, 0xFFFF)));
    }
}
