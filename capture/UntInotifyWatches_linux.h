// The folder of each inotify watch and the watch of each folder, kept right through renames.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <unordered_map>

class TInotifyWatchMap {
public:
    void add(int wd, const std::string& path);
    const std::string* pathOf(int wd) const;
    bool isWatched(const std::string& path) const { return watches_.count(path) != 0; }
    std::size_t size() const { return paths_.size(); }
    // The kernel ended the watch. A newer watch of the same path keeps its place.
    void ended(int wd);
    // Forgets every watch at or below folder, handing each to dropped first.
    void forgetUnder(const std::string& folder, const std::function<void(int)>& dropped = {});
    // A renamed folder: the watches at and below it carry the new path.
    void renameUnder(const std::string& from, const std::string& to);
    template <typename Visit> void forEachWatch(Visit visit) const
    {
        for (const auto& [wd, path] : paths_)
            visit(wd, path);
    }

private:
    std::unordered_map<int, std::string> paths_;
    std::unordered_map<std::string, int> watches_;
};

// Update File at most once per file per second.
class TModifyThrottle {
public:
    bool due(const std::string& path);

private:
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> last_;
};
