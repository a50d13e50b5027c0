// Folder paths kept as a tree of names, each folder found by the kernel's key for it (an inotify
// watch, a fanotify file handle). A rename moves one node and everything below follows, so it
// costs O(1) whatever the folder holds. Each node caches its full path; a rename anywhere only
// makes the caches stale (one epoch for the tree), and a path is rebuilt from its parent's when
// it is next asked for. Memory: one node per known folder, with its name and its path.
#pragma once

#include "capture/UntFlatIndex.h"
#include "capture/UntRecentKeys.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

template <typename Key> class TFolderTree {
public:
    // A folder known by its whole path (a watched root, the top of a filesystem): it has no
    // parent in the tree and keeps its path whatever is renamed.
    template <typename K> void learnTop(const K& key, std::string path)
    {
        TId id = idOf(key);
        if (id == kNone)
            id = place(Key(key));
        unlink(id);
        TNode& node = nodes_[id];
        node.name.clear();
        node.path = std::move(path);
        node.top = true;
        if (node.firstChild != kNone)
            ++epoch_;
    }

    // The folder key is named name inside parent: learnt, or moved there when it was known (a
    // rename, which every folder below follows). False, and nothing learnt, when parent is not
    // known, is key itself or lies below it.
    template <typename K1, typename K2> bool learn(const K1& key, const K2& parent, std::string name)
    {
        const TId up = idOf(parent);
        if (up == kNone)
            return false;
        TId id = idOf(key);
        if (id != kNone && nodes_[id].parent == up && nodes_[id].name == name)
            return true; // known there already
        if (id != kNone && (id == up || nodes_[id].top || (nodes_[id].firstChild != kNone && isBelow(up, id))))
            return false;
        if (id == kNone)
            id = place(Key(key));
        link(id, up, std::move(name));
        return true;
    }

    // Forgets the folder and everything below it, handing each key to dropped before it goes.
    template <typename K, typename Dropped> void remove(const K& key, Dropped dropped)
    {
        const TId id = idOf(key);
        if (id == kNone)
            return;
        unlink(id);
        std::vector<TId> pending{id};
        while (!pending.empty()) {
            const TId next = pending.back();
            pending.pop_back();
            for (TId child = nodes_[next].firstChild; child != kNone; child = nodes_[child].nextSibling)
                pending.push_back(child);
            dropped(nodes_[next].key);
            release(next);
        }
    }
    template <typename K> void remove(const K& key)
    {
        remove(key, [](const Key&) {});
    }

    // The whole path, or null for a key not known.
    template <typename K> const std::string* path(const K& key)
    {
        const TId id = idOf(key);
        return id == kNone ? nullptr : &pathOf(id);
    }
    template <typename K> bool contains(const K& key) const { return idOf(key) != kNone; }
    template <typename K> bool isTop(const K& key) const
    {
        const TId id = idOf(key);
        return id != kNone && nodes_[id].top;
    }
    // The key of the folder named name inside parent, or null.
    template <typename K> const Key* child(const K& parent, std::string_view name) const
    {
        const TId up = idOf(parent);
        if (up == kNone)
            return nullptr;
        const TFlatIndex::TProbe probe = findChild(up, name);
        return probe.found ? &nodes_[children_.id(probe.slot)].key : nullptr;
    }
    std::size_t size() const { return ids_.size(); }

    // Forgets every folder but the tops, which are the ones that cannot be learnt again.
    void keepTopsOnly()
    {
        std::vector<std::pair<Key, std::string>> tops;
        for (const TNode& node : nodes_)
            if (node.top)
                tops.emplace_back(node.key, node.path);
        ids_.clear();
        children_.clear();
        nodes_.clear();
        free_.clear();
        for (auto& [key, path] : tops)
            learnTop(key, std::move(path));
    }

    template <typename Visit> void forEach(Visit visit)
    {
        for (TId id = 0; id < nodes_.size(); ++id)
            if (nodes_[id].used)
                visit(nodes_[id].key, pathOf(id));
    }

private:
    using TId = std::uint32_t;
    static constexpr TId kNone = std::numeric_limits<TId>::max();

    struct TNode {
        Key key{};
        std::uint32_t hash = 0; // of key
        bool used = false;      // false while on the free list
        std::string name;
        std::string path;
        std::uint64_t epoch = 0; // the tree's epoch when path was built
        bool top = false;
        TId parent = kNone;
        TId firstChild = kNone;
        TId nextSibling = kNone;
        TId prevSibling = kNone;
    };

    template <typename K> static std::uint32_t hashOf(const K& key)
    {
        return static_cast<std::uint32_t>(TKeyHash<Key>{}(key));
    }
    TFlatIndex::TProbe findChild(TId parent, std::string_view name) const
    {
        const auto hash = static_cast<std::uint32_t>(std::hash<std::string_view>{}(name)*31 + parent);
        return children_.locate(hash, [&](TId id) { return nodes_[id].parent == parent && nodes_[id].name == name; });
    }
    template <typename K> TId idOf(const K& key) const
    {
        const TFlatIndex::TProbe probe = ids_.locate(hashOf(key), [&](TId id) { return nodes_[id].key == key; });
        return probe.found ? ids_.id(probe.slot) : kNone;
    }

    // A new node for key, not linked yet.
    TId place(Key key)
    {
        TId id;
        if (!free_.empty()) {
            id = free_.back();
            free_.pop_back();
            nodes_[id] = TNode{};
        } else {
            id = static_cast<TId>(nodes_.size());
            nodes_.emplace_back();
        }
        TNode& node = nodes_[id];
        node.hash = hashOf(key);
        node.used = true;
        ids_.add(node.hash, id); // callers place only a key not known yet
        node.key = std::move(key);
        return id;
    }

    void link(TId id, TId parent, std::string name)
    {
        unlink(id);
        TNode& node = nodes_[id];
        node.name = std::move(name);
        node.top = false;
        node.parent = parent;
        node.nextSibling = nodes_[parent].firstChild;
        if (node.nextSibling != kNone)
            nodes_[node.nextSibling].prevSibling = id;
        nodes_[parent].firstChild = id;
        children_.assign(findChild(parent, node.name), id); // a newer folder of the same name wins
        node.epoch = 0;                                     // its own path is rebuilt when asked for
        if (node.firstChild != kNone)
            ++epoch_; // and so is every one below it
    }

    void unlink(TId id)
    {
        TNode& node = nodes_[id];
        if (node.parent == kNone)
            return;
        if (const TFlatIndex::TProbe probe = findChild(node.parent, node.name);
            probe.found && children_.id(probe.slot) == id)
            children_.erase(probe.slot);
        if (node.prevSibling != kNone)
            nodes_[node.prevSibling].nextSibling = node.nextSibling;
        else
            nodes_[node.parent].firstChild = node.nextSibling;
        if (node.nextSibling != kNone)
            nodes_[node.nextSibling].prevSibling = node.prevSibling;
        node.parent = node.nextSibling = node.prevSibling = kNone;
    }

    void release(TId id)
    {
        unlink(id);
        ids_.erase(ids_.slotOf(nodes_[id].hash, id));
        nodes_[id] = TNode{};
        free_.push_back(id);
    }

    bool isBelow(TId id, TId folder) const
    {
        for (TId up = id; up != kNone; up = nodes_[up].parent)
            if (up == folder)
                return true;
        return false;
    }

    const std::string& pathOf(TId id)
    {
        TNode& node = nodes_[id];
        if (node.top || node.parent == kNone || node.epoch == epoch_)
            return node.path;
        const std::string& folder = pathOf(node.parent);
        node.path.assign(folder);
        if (node.path.empty() || node.path.back() != '/')
            node.path += '/';
        node.path += node.name;
        node.epoch = epoch_;
        return node.path;
    }

    TFlatIndex ids_;      // node ids by their keys
    TFlatIndex children_; // node ids by their parent's id and their name
    std::deque<TNode> nodes_;
    std::vector<TId> free_;
    std::uint64_t epoch_ = 1;
};
