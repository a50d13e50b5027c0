// The folders below one watched root that the directory-change backend knows to exist: a
// removal of one of them is "Delete Directory", a removal of anything else "Delete". Held as
// a tree of case-folded names (Windows names compare without regard to case), so adding,
// finding, removing or moving a folder costs the depth of its path, never the number of folders.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

class TKnownFolders {
public:
    TKnownFolders();
    ~TKnownFolders();
    TKnownFolders(const TKnownFolders&) = delete;
    TKnownFolders& operator=(const TKnownFolders&) = delete;

    // Paths are relative to the root, '\' separated; the empty path is the root itself.
    bool contains(std::string_view path) const;
    // The folder and every folder above it.
    void add(std::string_view path);
    // Forgets the folder and everything below it; true when it was known.
    bool remove(std::string_view path);
    // The folder and everything below it now sit at to (anything known there before is
    // forgotten); true when from was known. An unknown from leaves to known all the same.
    bool move(std::string_view from, std::string_view to);
    // Known folders, the root not counted.
    std::size_t size() const { return count_; }

private:
    struct TNode;
    TNode* find(std::string_view path) const;
    TNode* parentOf(std::string_view path, bool create, std::string* leaf);
    std::unique_ptr<TNode> detach(std::string_view path);
    static std::size_t countOf(const TNode& node);

    std::unique_ptr<TNode> root_;
    std::size_t count_ = 0;
};
