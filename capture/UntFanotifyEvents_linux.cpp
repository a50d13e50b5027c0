#include "capture/UntFanotifyCapture_linux.h"

#include "util/UntText.h"

#include <fcntl.h>
#include <sys/fanotify.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

namespace fanotifycapture {

// Reads everything available, then hands it to the queue in one append.
void TFanotifyBackend::drain()
{
    TBatch batch;
    batch.time = std::chrono::system_clock::now();
    constexpr int kMaxReads = 64; // a busy system still gets its events delivered in slices
    for (int reads = 0; reads < kMaxReads; ++reads) {
        ssize_t length = ::read(group_.get(), buffer_.data(), buffer_.size() * sizeof(std::uint64_t));
        if (length < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                break;
            throw std::system_error(errno, std::generic_category(), "read from the fanotify group");
        }
        if (length == 0)
            break;
        const char* data = reinterpret_cast<const char*>(buffer_.data());
        std::size_t left = static_cast<std::size_t>(length);
        TParsedEvent event;
        while (const std::size_t used = parseFanotifyEvent(data, left, event)) {
            if (event.fd >= 0)
                ::close(event.fd);
            decode(event, batch);
            data += used;
            left -= used;
        }
    }
    sink().addItems(std::move(batch.items));
}

void TFanotifyBackend::decode(const TParsedEvent& event, TBatch& batch)
{
    const std::uint64_t mask = event.mask;
    if (mask & FAN_Q_OVERFLOW) {
        overflows_.fetch_add(1);
        if (kinds_[evUpdateDir])
            for (const std::string& root : roots_)
                emit(batch, 0, evUpdateDir, root);
        return;
    }
    if (event.pid == selfPid_)
        return;
    const bool folder = mask & FAN_ONDIR;
    const int pid = event.pid;

    if (mask & FAN_RENAME) {
        auto from = entryPath(event.oldDirName);
        auto to = entryPath(event.newDirName);
        if (!from || !to) {
            countUnresolved(from ? event.newDirName : event.oldDirName);
            return;
        }
        if (folder) {
            folders_.forgetUnder(*from);
            if (event.object)
                folders_.learn(event.object->key(), *to);
        }
        if ((isWatched(*from) || isWatched(*to)) && kinds_[folder ? evRenameFolder : evRenameFile])
            emit(batch, pid, folder ? evRenameFolder : evRenameFile, std::move(*from), std::move(*to));
        return;
    }

    const auto path = entryPath(event.dirName);
    if (!path) {
        // A link count change of a file replaced by a rename names no folder: the rename says it all.
        if (event.dirName)
            countUnresolved(event.dirName);
        else if (mask != (FAN_ATTRIB | (mask & FAN_ONDIR)))
            unresolvedPaths_.fetch_add(1);
        return;
    }
    if (folder && (mask & FAN_CREATE) && event.object)
        folders_.learn(event.object->key(), *path);
    if (folder && (mask & FAN_DELETE) && event.object)
        folders_.forget(event.object->key());
    if (!isWatched(*path))
        return;

    // A merged mask gives one event per bit, in the order of the calls that caused them.
    if ((mask & FAN_CREATE) && kinds_[folder ? evMkDir : evCreate])
        emit(batch, pid, folder ? evMkDir : evCreate, *path);
    if ((mask & FAN_MODIFY) && !folder && kinds_[evUpdateFile] && modify_.due(*path))
        emit(batch, pid, evUpdateFile, *path);
    if ((mask & FAN_ATTRIB) && kinds_[evAttributes])
        emit(batch, pid, evAttributes, *path);
    if ((mask & FAN_DELETE) && kinds_[folder ? evRmDir : evDelete])
        emit(batch, pid, folder ? evRmDir : evDelete, *path);
}

std::optional<std::string> TFanotifyBackend::entryPath(const std::optional<TFidRecord>& record)
{
    if (!record)
        return std::nullopt;
    auto folder = folderPath(*record);
    if (!folder)
        return std::nullopt;
    return joinPath(*folder, record->name.value_or(std::string()));
}

std::optional<std::string> TFanotifyBackend::folderPath(const TFidRecord& record)
{
    const std::string key = record.key();
    if (const std::string* known = folders_.find(key))
        return *known;
    auto fs = fileSystems_.find(record.fsid);
    if (fs == fileSystems_.end())
        return std::nullopt;
    std::vector<std::uint64_t> storage(1 + (sizeof(file_handle) + record.handleBytes.size()) / sizeof(std::uint64_t));
    auto* handle = reinterpret_cast<file_handle*>(storage.data());
    handle->handle_bytes = static_cast<unsigned>(record.handleBytes.size());
    handle->handle_type = record.handleType;
    std::memcpy(handle->f_handle, record.handleBytes.data(), record.handleBytes.size());
    TFdObj mountFd(::open(fs->second.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    TFdObj opened(mountFd ? ::open_by_handle_at(mountFd.get(), handle, O_PATH | O_CLOEXEC) : -1);
    if (!opened)
        return std::nullopt;
    struct stat status {};
    if (::fstat(opened.get(), &status) != 0 || status.st_nlink == 0)
        return std::nullopt; // gone meanwhile: its name is no longer known
    char target[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(opened.get());
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target || target[0] != '/')
        return std::nullopt;
    std::string path(target, static_cast<std::size_t>(length));
    folders_.learn(key, path);
    return path;
}

void TFanotifyBackend::countUnresolved(const std::optional<TFidRecord>& record)
{
    auto fs = record ? fileSystems_.find(record->fsid) : fileSystems_.end();
    if (fs == fileSystems_.end() || fs->second.wholeFileSystem)
        unresolvedPaths_.fetch_add(1);
}

bool TFanotifyBackend::isWatched(const std::string& path) const
{
    for (const std::string& root : roots_)
        if (isUnder(path, root, TPathStyle::Posix))
            return true;
    return false;
}

void TFanotifyBackend::emit(TBatch& batch, int pid, int eventNum, std::string item1, std::string item2)
{
    TEventOrigin origin{batch.time, pid, {}};
    if (pid > 0) {
        auto [it, added] = batch.processNames.try_emplace(pid);
        if (added) {
            TFdObj comm(::open(("/proc/" + std::to_string(pid) + "/comm").c_str(), O_RDONLY | O_CLOEXEC));
            char name[64];
            const ssize_t length = comm ? ::read(comm.get(), name, sizeof name) : -1;
            if (length > 0)
                it->second.assign(name, static_cast<std::size_t>(length));
            while (!it->second.empty() && it->second.back() == '\n')
                it->second.pop_back();
        }
        origin.process = it->second;
    }
    batch.items.emplace_back(std::move(item1), std::move(item2), eventNum, std::move(origin));
}

} // namespace fanotifycapture
