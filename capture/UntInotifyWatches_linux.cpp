#include "capture/UntInotifyWatches_linux.h"

#include "util/UntText.h"

#include <utility>
#include <vector>

void TInotifyWatchMap::add(int wd, const std::string& path)
{
    paths_[wd] = path;
    watches_[path] = wd;
}

const std::string* TInotifyWatchMap::pathOf(int wd) const
{
    auto it = paths_.find(wd);
    return it == paths_.end() ? nullptr : &it->second;
}

void TInotifyWatchMap::ended(int wd)
{
    auto known = paths_.find(wd);
    if (known == paths_.end())
        return;
    auto back = watches_.find(known->second);
    if (back != watches_.end() && back->second == wd)
        watches_.erase(back);
    paths_.erase(known);
}

void TInotifyWatchMap::forgetUnder(const std::string& folder, const std::function<void(int)>& dropped)
{
    for (auto it = watches_.begin(); it != watches_.end();) {
        if (isUnder(it->first, folder, TPathStyle::Posix)) {
            if (dropped)
                dropped(it->second);
            paths_.erase(it->second);
            it = watches_.erase(it);
        } else {
            ++it;
        }
    }
}

void TInotifyWatchMap::renameUnder(const std::string& from, const std::string& to)
{
    std::vector<std::pair<std::string, int>> moved;
    for (auto it = watches_.begin(); it != watches_.end();) {
        if (isUnder(it->first, from, TPathStyle::Posix)) {
            moved.emplace_back(to + it->first.substr(from.size()), it->second);
            it = watches_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& [path, wd] : moved)
        add(wd, path);
}

bool TModifyThrottle::due(const std::string& path)
{
    const auto now = std::chrono::steady_clock::now();
    constexpr auto kQuiet = std::chrono::seconds(1);
    auto [it, added] = last_.try_emplace(path, now);
    if (!added) {
        if (now - it->second < kQuiet)
            return false;
        it->second = now;
    }
    if (last_.size() > 8192)
        std::erase_if(last_, [&](const auto& entry) { return now - entry.second >= kQuiet; });
    return true;
}
