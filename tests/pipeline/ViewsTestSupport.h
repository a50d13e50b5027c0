// Fakes shared by the view and report tests.
#pragma once

#include "pipeline/UntEventList.h"
#include "pipeline/UntEventTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Distinct icon per kind of lookup, and a log of what was asked.
class TFakeIcons final : public TIconSource {
public:
    static constexpr int kExt = 11;
    static constexpr int kPath = 22;
    static constexpr int kWinDir = 33;
    int extIcon(std::string_view name) override
    {
        calls.push_back("ext:" + std::string(name));
        return kExt;
    }
    int pathIcon(std::string_view path) override
    {
        calls.push_back("path:" + std::string(path));
        return kPath;
    }
    int windowsDirIcon() override
    {
        calls.push_back("windir");
        return kWinDir;
    }
    std::vector<std::string> calls;
};

inline std::string fixedTime()
{
    return "14:05:09";
}

// One line per node in display order: indentation by level, text, [mark] when marked, {icon}.
inline std::string printTree(const TEventTree& tree)
{
    std::string out;
    tree.forEachNode([&](TNodeId id, std::uint16_t level) {
        out += std::string(2u * level, ' ') + tree.getText(id);
        if (tree.getMark(id) != 0)
            out += " [" + std::to_string(tree.getMark(id)) + "]";
        out += " {" + std::to_string(tree.getIcon(id)) + "}\n";
    });
    return out;
}
