#include "pipeline/UntNodeIndex.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

// Crowded hashes (few distinct values, many near the end of the table so runs wrap around)
// against a plain map: every stored id must stay findable after any erase.
TEST(NodeIndex, FindsEveryIdThroughCollisionsWrapAroundAndErases)
{
    TNodeIndex index;
    std::map<std::uint32_t, std::uint32_t> model; // id -> hash
    std::mt19937 random(7);
    const auto crowdedHash = [&] { return 0xFFFFFFF0u + static_cast<std::uint32_t>(random() % 24); };
    std::uint32_t nextId = 1;
    for (int step = 0; step < 20000; ++step) {
        if (model.empty() || random() % 3 != 0) {
            const std::uint32_t hash = crowdedHash();
            index.insert(hash, nextId);
            model[nextId++] = hash;
        } else {
            auto it = model.begin();
            std::advance(it, static_cast<long>(random() % model.size()));
            ASSERT_TRUE(index.erase(it->second, it->first));
            model.erase(it);
        }
        if (step % 97 == 0) {
            for (const auto& [id, hash] : model)
                ASSERT_EQ(index.find(hash, [&](std::uint32_t candidate) { return candidate == id; }), id);
            ASSERT_EQ(index.size(), model.size());
        }
    }
    EXPECT_FALSE(index.erase(0xFFFFFFF1u, nextId + 5));
    EXPECT_EQ(index.find(0xFFFFFFF1u, [&](std::uint32_t candidate) { return candidate == nextId + 5; }),
              TNodeIndex::kNone);
    index.clear();
    EXPECT_EQ(index.size(), 0u);
    EXPECT_EQ(index.find(1, [](std::uint32_t) { return true; }), TNodeIndex::kNone);
}
