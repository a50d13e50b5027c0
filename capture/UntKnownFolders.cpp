#include "capture/UntKnownFolders.h"

#include "util/UntText.h"

#include <vector>

struct TKnownFolders::TNode {
    std::unordered_map<std::string, std::unique_ptr<TNode>> children; // by folded name
};

namespace {

// The folded names of a relative path, empty pieces (a doubled or trailing '\') left out.
std::vector<std::string> foldedNames(std::string_view path)
{
    std::vector<std::string> names;
    for (std::string_view piece : splitPath(path, TPathStyle::Windows))
        if (!piece.empty())
            names.push_back(foldCase(piece));
    return names;
}

} // namespace

TKnownFolders::TKnownFolders() : root_(std::make_unique<TNode>()) {}

TKnownFolders::~TKnownFolders() = default;

TKnownFolders::TNode* TKnownFolders::find(std::string_view path) const
{
    TNode* node = root_.get();
    for (const std::string& name : foldedNames(path)) {
        const auto child = node->children.find(name);
        if (child == node->children.end())
            return nullptr;
        node = child->second.get();
    }
    return node;
}

bool TKnownFolders::contains(std::string_view path) const
{
    return find(path) != nullptr;
}

TKnownFolders::TNode* TKnownFolders::parentOf(std::string_view path, bool create, std::string* leaf)
{
    std::vector<std::string> names = foldedNames(path);
    if (names.empty())
        return nullptr;
    *leaf = std::move(names.back());
    names.pop_back();
    TNode* node = root_.get();
    for (std::string& name : names) {
        auto child = node->children.find(name);
        if (child == node->children.end()) {
            if (!create)
                return nullptr;
            child = node->children.emplace(std::move(name), std::make_unique<TNode>()).first;
            ++count_;
        }
        node = child->second.get();
    }
    return node;
}

void TKnownFolders::add(std::string_view path)
{
    std::string leaf;
    TNode* parent = parentOf(path, true, &leaf);
    if (!parent)
        return;
    std::unique_ptr<TNode>& node = parent->children[leaf];
    if (!node) {
        node = std::make_unique<TNode>();
        ++count_;
    }
}

std::size_t TKnownFolders::countOf(const TNode& node)
{
    std::size_t count = 1;
    for (const auto& [name, child] : node.children)
        count += countOf(*child);
    return count;
}

std::unique_ptr<TKnownFolders::TNode> TKnownFolders::detach(std::string_view path)
{
    std::string leaf;
    TNode* parent = parentOf(path, false, &leaf);
    if (!parent)
        return nullptr;
    const auto child = parent->children.find(leaf);
    if (child == parent->children.end())
        return nullptr;
    std::unique_ptr<TNode> node = std::move(child->second);
    parent->children.erase(child);
    return node;
}

bool TKnownFolders::remove(std::string_view path)
{
    const std::unique_ptr<TNode> node = detach(path);
    if (!node)
        return false;
    count_ -= countOf(*node); // paid once per folder: each was counted when it was added
    return true;
}

bool TKnownFolders::move(std::string_view from, std::string_view to)
{
    std::unique_ptr<TNode> node = detach(from);
    remove(to);
    std::string leaf;
    TNode* parent = parentOf(to, true, &leaf);
    if (!parent) {
        if (node)
            count_ -= countOf(*node);
        return node != nullptr;
    }
    const bool known = node != nullptr;
    if (!node) {
        node = std::make_unique<TNode>();
        ++count_;
    }
    parent->children[leaf] = std::move(node);
    return known;
}
