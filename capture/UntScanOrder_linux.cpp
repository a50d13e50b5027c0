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
    if (!waiting_.empty()) {
        auto folder = waiting_.find(wd);
        if (folder != waiting_.end()) {
            auto& heard = folder->second;
            if (heard.find(name) != heard.end())
                return TVerdict::Report;
            heard.emplace(name);
            return created ? TVerdict::Report : TVerdict::ReportAfterCreate;
        }
    }
    if (!open_.empty()) {
        auto finding = open_.find(keyOf(wd, name));
        if (finding != open_.end()) {
            // A create: the entry came after the watch, and the kernel's event stands in its place.
            // Anything else: it was there before the watch, so the finding stands.
            if (created)
                findings_[finding->second].dropped = true;
            open_.erase(finding);
            return TVerdict::Report;
        }
    }
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

bool TScanOrder::reports(int wd, std::string_view name) const
{
    auto folder = waiting_.find(wd);
    return folder == waiting_.end() || folder->second.find(name) == folder->second.end();
}

void TScanOrder::found(int wd, std::string_view name, std::size_t at, TItemObj item)
{
    std::string key = wd >= 0 ? keyOf(wd, name) : std::string();
    if (!key.empty())
        open_[key] = findings_.size();
    findings_.push_back({at, std::move(key), false, std::move(item)});
}

void TScanOrder::settle(std::vector<TItemObj>& items, TClock::time_point now)
{
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
