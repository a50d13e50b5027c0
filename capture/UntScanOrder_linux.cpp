#include "capture/UntScanOrder_linux.h"

#include "capture/UntPlacedItems.h"

const std::string& TScanOrder::keyOf(int wd, std::string_view name)
{
    key_.assign(reinterpret_cast<const char*>(&wd), sizeof wd);
    key_.append(name);
    return key_;
}

TScanOrder::TVerdict TScanOrder::kernelEvent(int wd, std::string_view name, bool created, TClock::time_point now)
{
    TFolder* folder = nullptr;
    if (!waiting_.empty()) {
        auto it = waiting_.find(wd);
        folder = it == waiting_.end() ? nullptr : &it->second;
    }
    if (folder && !folder->scanned) {
        if (!folder->heard.emplace(name).second)
            return TVerdict::Report;
        return created ? TVerdict::Report : TVerdict::ReportAfterCreate;
    }
    if (!open_.empty()) {
        auto finding = open_.find(keyOf(wd, name));
        if (finding != open_.end()) {
            // A create: the entry came after the watch, and the kernel's event stands in its place.
            // Anything else: it was there before the watch, so the finding stands.
            if (created)
                findings_[finding->second].dropped = true;
            open_.erase(finding);
            if (folder)
                folder->heard.emplace(name);
            return TVerdict::Report;
        }
    }
    if (folder && folder->heard.emplace(name).second && !created)
        return TVerdict::ReportAfterCreate; // gone between the last read and the scan
    if (recent_.size() != 0) {
        const std::string& key = keyOf(wd, name);
        if (created && recent_.find(key, now)) {
            recent_.forget(key);
            return TVerdict::Drop;
        }
        if (!created)
            recent_.forget(key); // gone or changed: a later create of that name is new
    }
    return TVerdict::Report;
}

void TScanOrder::scanned(int wd)
{
    auto folder = waiting_.find(wd);
    if (folder == waiting_.end() || folder->second.scanned)
        return;
    folder->second.scanned = true;
    settling_.push_back(wd);
}

bool TScanOrder::reports(int wd, std::string_view name) const
{
    auto folder = waiting_.find(wd);
    return folder == waiting_.end() || folder->second.heard.find(name) == folder->second.heard.end();
}

void TScanOrder::found(int wd, std::string_view name, std::size_t at, TItemObj item)
{
    if (auto folder = waiting_.find(wd); folder != waiting_.end())
        folder->second.heard.emplace(name); // spoken of: by the scan
    std::string key = wd >= 0 ? keyOf(wd, name) : std::string();
    if (!key.empty())
        open_[key] = findings_.size();
    findings_.push_back({at, std::move(key), false, std::move(item)});
}

void TScanOrder::settle(std::vector<TItemObj>& items, TClock::time_point now)
{
    for (const int wd : settling_)
        if (auto folder = waiting_.find(wd); folder != waiting_.end() && folder->second.scanned)
            waiting_.erase(folder);
    settling_.clear();
    if (findings_.empty())
        return;
    open_.clear();
    std::vector<TPlacedItem> placed;
    for (TFinding& finding : findings_) {
        if (finding.dropped)
            continue;
        if (!finding.key.empty())
            recent_.remember(finding.key, now);
        placed.push_back({finding.at, std::move(finding.item)});
    }
    findings_.clear();
    insertPlaced(items, placed);
}
