#include "capture/UntDirChangeDecoder.h"

#include "util/UntText.h"

#include <algorithm>

namespace {

constexpr TPathStyle kStyle = TPathStyle::Windows;

// The folder part of a relative name without its trailing '\'; empty for a name in the root.
std::string_view parentName(std::string_view name)
{
    const std::string_view folder = folderPart(name, kStyle);
    return folder.empty() ? folder : folder.substr(0, folder.size() - 1);
}

// Wine's late names come through at most this many renames of the folders above them.
constexpr int kMaxCarries = 16;
// Folders gone that late names are still looked for below; a drive's worth of deleted folders
// must not grow without end.
constexpr std::size_t kMaxGoneFolders = 1024;

} // namespace

TDirChangeDecoder::TDirChangeDecoder(std::string root, const TEventKinds& kinds, TPathProbe probe)
    : root_(std::move(root)), prefix_(root_), kinds_(kinds), probe_(std::move(probe))
{
    if (prefix_.empty() || prefix_.back() != '\\')
        prefix_ += '\\';
}

void TDirChangeDecoder::emit(TBatch& batch, int eventNum, const std::string& name, const std::string& newName) const
{
    if (kinds_[static_cast<std::size_t>(eventNum)])
        batch.out.emplace_back(fullPath(name), newName.empty() ? std::string() : fullPath(newName), eventNum,
                               TEventOrigin{batch.time, 0, {}});
}

std::string TDirChangeDecoder::carriedOver(std::string name) const
{
    if (renamedFolders_.empty())
        return name;
    for (int carry = 0; carry < kMaxCarries; ++carry) {
        const std::string_view parent = parentName(name);
        // A parent that exists is where the record happened: only a vanished one is a late name.
        if (parent.empty() || known_.contains(parent))
            break;
        // The nearest renamed folder above the record.
        std::string_view above = parent;
        auto found = renamedFolders_.end();
        while (!above.empty()) {
            found = renamedFolders_.find(foldCase(above));
            if (found != renamedFolders_.end())
                break;
            above = parentName(above);
        }
        if (found == renamedFolders_.end())
            break;
        name = found->second + name.substr(above.size());
    }
    return name;
}

void TDirChangeDecoder::noteRename(const std::string& from, const std::string& to)
{
    // Earlier renames into the moved folder now lead to its new place.
    for (auto it = renamedFolders_.begin(); it != renamedFolders_.end();) {
        std::string& target = it->second;
        if (isUnder(target, from, kStyle))
            target = to + target.substr(from.size());
        if (sameText(it->first, target))
            it = renamedFolders_.erase(it);
        else
            ++it;
    }
    // A folder that sits at the old name again is found by the parent test of carriedOver.
    if (!sameText(from, to))
        renamedFolders_[foldCase(from)] = to;
}

void TDirChangeDecoder::forgetRenamesInto(const std::string& folder)
{
    std::erase_if(renamedFolders_, [&](const auto& entry) { return isUnder(entry.second, folder, kStyle); });
}

void TDirChangeDecoder::noteGone(const std::string& folder)
{
    if (!goneFolders_.insert(foldCase(folder)).second)
        return;
    goneOrder_.push_back(foldCase(folder));
    if (goneOrder_.size() > kMaxGoneFolders) {
        goneFolders_.erase(goneOrder_.front());
        goneOrder_.pop_front();
    }
}

void TDirChangeDecoder::noteMade(const std::string& name)
{
    // Its entry in goneOrder_ stays until it comes to the front: erasing it again there is harmless.
    if (!goneFolders_.empty())
        goneFolders_.erase(foldCase(name));
}

bool TDirChangeDecoder::belowGone(std::string_view name) const
{
    if (goneFolders_.empty())
        return false;
    for (std::string_view above = parentName(name); !above.empty(); above = parentName(above))
        if (goneFolders_.contains(foldCase(above)))
            return true;
    return false;
}

void TDirChangeDecoder::indexAhead()
{
    namedBelow_.clear();
    gone_.clear();
    for (std::size_t i = 0; i < held_.size(); ++i) {
        const std::string& name = held_[i].record.name;
        for (std::size_t slash = name.find('\\'); slash != std::string::npos; slash = name.find('\\', slash + 1))
            if (slash > 0)
                namedBelow_[foldCase(std::string_view(name).substr(0, slash))] = i;
        if (held_[i].record.action == kDirRemoved || held_[i].record.action == kDirRenamedOld)
            gone_[foldCase(name)] = i;
    }
}

bool TDirChangeDecoder::namedBelowLater(const std::string& rawName, std::size_t index) const
{
    const auto found = namedBelow_.find(foldCase(rawName));
    return found != namedBelow_.end() && found->second > index;
}

bool TDirChangeDecoder::goneLater(const std::string& rawName, std::size_t index) const
{
    const auto found = gone_.find(foldCase(rawName));
    return found != gone_.end() && found->second > index;
}

void TDirChangeDecoder::removed(TBatch& batch, const std::string& name)
{
    if (known_.remove(name)) {
        forgetRenamesInto(name);
        noteGone(name);
        emit(batch, evRmDir, name);
    } else {
        throttle_.forget(name);
        emit(batch, evDelete, name);
    }
}

void TDirChangeDecoder::modified(TBatch& batch, const std::string& name, bool goesLater)
{
    // A folder's time changes with what happens inside it, which is reported by itself (and
    // makes the folder known before its own change comes).
    if (!kinds_[evUpdateFile] || known_.contains(name) || !throttle_.due(name, batch.now))
        return;
    if (!goesLater && probe_(fullPath(name)) == TPathKind::Folder) {
        known_.add(name);
        return;
    }
    emit(batch, evUpdateFile, name);
}

void TDirChangeDecoder::renamed(TBatch& batch, const std::string& from, const std::string& to, const std::string& rawTo,
                                std::size_t index)
{
    const bool folder = known_.contains(from) || namedBelowLater(rawTo, index) ||
                        (!goneLater(rawTo, index) && probe_(fullPath(to)) == TPathKind::Folder);
    noteMade(to);
    if (folder) {
        known_.move(from, to);
        noteRename(from, to);
        emit(batch, evRenameFolder, from, to);
    } else {
        throttle_.forget(from);
        emit(batch, evRenameFile, from, to);
    }
}

void TDirChangeDecoder::flushRename(TBatch& batch)
{
    if (pendingOld_) {
        const std::string old = std::move(*pendingOld_);
        pendingOld_.reset();
        removed(batch, old);
    }
}

void TDirChangeDecoder::decodeHeldRecords(TBatch& batch, bool final)
{
    indexAhead();
    std::size_t i = 0;
    for (; i < held_.size(); ++i) {
        const TDirRecord& record = held_[i].record;
        batch.time = held_[i].time;
        if (record.name.empty() || record.action < kDirAdded || record.action > kDirRenamedNew) {
            ++undecoded_;
            continue;
        }
        const std::string name = carriedOver(record.name);
        if (record.action != kDirRenamedNew && pendingOld_) {
            // A name below the old half of a rename whose new half never came: a folder moved
            // out of the tree, and this is a late name from where it went.
            if (name.size() > pendingOld_->size() && isUnder(name, *pendingOld_, kStyle))
                known_.add(*pendingOld_);
            flushRename(batch);
        }
        // Happened where the folder went, outside the tree.
        if (belowGone(name))
            continue;
        const bool adds = record.action == kDirAdded || (record.action == kDirRenamedNew && !pendingOld_);
        bool folder = false;
        if (adds) {
            // What later records say comes first: the probe sees the name as it is now, which
            // may be another file or folder of that name, and costs a look-up.
            folder = namedBelowLater(record.name, i);
            if (!folder && !goneLater(record.name, i)) {
                const TPathKind kind = probe_(fullPath(name));
                folder = kind == TPathKind::Folder;
                if (kind == TPathKind::Missing && !final)
                    break;
            }
        }
        // Whatever a record names lies in folders.
        if (const std::string_view parent = parentName(name); !parent.empty())
            known_.add(parent);
        if (adds) {
            // A new name alone was moved in from where nothing is watched: it is added.
            if (folder)
                known_.add(name);
            noteMade(name);
            emit(batch, folder ? evMkDir : evCreate, name);
            continue;
        }
        switch (record.action) {
        case kDirRemoved:
            removed(batch, name);
            break;
        case kDirModified:
            modified(batch, name, goneLater(record.name, i));
            break;
        case kDirRenamedOld:
            pendingOld_ = name;
            pendingTime_ = batch.time;
            break;
        case kDirRenamedNew: {
            const std::string old = std::move(*pendingOld_);
            pendingOld_.reset();
            renamed(batch, old, name, record.name, i);
            break;
        }
        }
    }
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(i));
    namedBelow_.clear();
    gone_.clear();
    if (held_.empty())
        heldSince_.reset();
    else if (!heldSince_)
        heldSince_ = batch.now;
}

void TDirChangeDecoder::decode(std::vector<TDirRecord> records, TTime readTime, TClock::time_point now,
                               std::vector<TItemObj>& out)
{
    held_.reserve(held_.size() + records.size());
    for (TDirRecord& record : records)
        held_.push_back({std::move(record), readTime});
    TBatch batch{out, now};
    decodeHeldRecords(batch, false);
}

void TDirChangeDecoder::decodeHeld(TClock::time_point now, std::vector<TItemObj>& out)
{
    TBatch batch{out, now};
    decodeHeldRecords(batch, true);
}

void TDirChangeDecoder::overflow(TTime readTime, TClock::time_point now, std::vector<TItemObj>& out)
{
    decodeHeld(now, out);
    pendingOld_.reset();
    if (kinds_[evUpdateDir])
        out.emplace_back(root_, std::string(), evUpdateDir, TEventOrigin{readTime, 0, {}});
}

void TDirChangeDecoder::finish(TClock::time_point now, std::vector<TItemObj>& out)
{
    decodeHeld(now, out);
    TBatch batch{out, now, pendingTime_};
    flushRename(batch);
}
