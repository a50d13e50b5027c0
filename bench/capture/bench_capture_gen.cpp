// The capture comparison's workloads, run as fast as the system allows by one process (one pid,
// as a busy program would). Prints what a complete capture must show:
//   workload WORKLOAD ops OPS ours EVENTS peer EVENTS
// ops: what the CPU of each tool is divided by; ours: the events the companion must print;
// peer: the CREATE, MODIFY, MOVED_TO and DELETE lines inotifywait must print (for rewrite,
// where both collapse the writes, the create and the delete only).
//
//   files   N files in one folder, each created with a 1-byte write, then each renamed, then
//           each deleted: Create, Update File, Rename File, Delete
//   tree    the same spread over 1,000 new folders, which are removed at the end
//   rewrite one file created, rewritten N times (open, 1-byte write, close), deleted
//   churn   N/10 times: mkdir -p dK/a/b/c/d, a file with a 1-byte write in the deepest folder,
//           dK renamed to eK, then eK removed with everything in it (rm -rf)
//   each    N files one after another, each created with a 1-byte write, renamed, deleted
//           before the next (what a reader that falls behind by one file must still follow)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr long kTreeFolders = 1000;
constexpr int kChurnDepth = 5; // dK and four levels below it

bool fail(const char* what, const std::string& path)
{
    std::fprintf(stderr, "bench_capture_gen: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    return false;
}

bool writeFile(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail("cannot open", path);
    const bool written = ::write(fd, "x", 1) == 1;
    if (::close(fd) != 0 || !written)
        return fail("cannot write", path);
    return true;
}

bool makeFolder(const std::string& path)
{
    return ::mkdir(path.c_str(), 0755) == 0 || fail("cannot create", path);
}

bool removeFolder(const std::string& path)
{
    return ::rmdir(path.c_str()) == 0 || fail("cannot remove", path);
}

// Create with a write, rename, delete: the folder of file i is folderOf(i).
template <typename FolderOf> bool fileLives(long count, FolderOf folderOf)
{
    for (long i = 0; i < count; ++i)
        if (!writeFile(folderOf(i) + "/f" + std::to_string(i), O_CREAT | O_EXCL))
            return false;
    for (long i = 0; i < count; ++i) {
        const std::string from = folderOf(i) + "/f" + std::to_string(i);
        const std::string to = folderOf(i) + "/g" + std::to_string(i);
        if (::rename(from.c_str(), to.c_str()) != 0)
            return fail("cannot rename", from);
    }
    for (long i = 0; i < count; ++i) {
        const std::string path = folderOf(i) + "/g" + std::to_string(i);
        if (::unlink(path.c_str()) != 0)
            return fail("cannot delete", path);
    }
    return true;
}

bool eachInTurn(const std::string& folder, long count)
{
    for (long i = 0; i < count; ++i) {
        const std::string path = folder + "/f" + std::to_string(i);
        const std::string renamed = folder + "/g" + std::to_string(i);
        if (!writeFile(path, O_CREAT | O_EXCL))
            return false;
        if (::rename(path.c_str(), renamed.c_str()) != 0)
            return fail("cannot rename", path);
        if (::unlink(renamed.c_str()) != 0)
            return fail("cannot delete", renamed);
    }
    return true;
}

bool tree(const std::string& folder, long count)
{
    std::vector<std::string> folders;
    for (long k = 0; k < kTreeFolders; ++k) {
        folders.push_back(folder + "/t" + std::to_string(k));
        if (!makeFolder(folders.back()))
            return false;
    }
    if (!fileLives(count, [&](long i) -> const std::string& { return folders[i % kTreeFolders]; }))
        return false;
    for (const std::string& path : folders)
        if (!removeFolder(path))
            return false;
    return true;
}

bool rewrite(const std::string& folder, long count)
{
    const std::string path = folder + "/rewritten";
    if (!writeFile(path, O_CREAT | O_EXCL))
        return false;
    for (long i = 0; i < count; ++i)
        if (!writeFile(path, O_TRUNC))
            return false;
    return ::unlink(path.c_str()) == 0 || fail("cannot delete", path);
}

bool churn(const std::string& folder, long paths)
{
    static const char* const kLevels[] = {"a", "b", "c", "d"};
    for (long k = 0; k < paths; ++k) {
        const std::string top = folder + "/d" + std::to_string(k);
        std::string deepest = top;
        if (!makeFolder(top))
            return false;
        for (const char* level : kLevels)
            if (!makeFolder(deepest += std::string("/") + level))
                return false;
        if (!writeFile(deepest + "/f", O_CREAT | O_EXCL))
            return false;
        const std::string moved = folder + "/e" + std::to_string(k);
        if (::rename(top.c_str(), moved.c_str()) != 0)
            return fail("cannot rename", top);
        // rm -rf: the file, then the folders from the deepest up.
        std::string path = moved + "/a/b/c/d";
        if (::unlink((path + "/f").c_str()) != 0)
            return fail("cannot delete", path + "/f");
        for (int level = kChurnDepth; level > 0; --level) {
            if (!removeFolder(path))
                return false;
            path.erase(path.rfind('/'));
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        // Run by the scripts of bench/capture with their arguments; alone it has nothing to measure.
        std::printf("usage: bench_capture_gen files|tree|rewrite|churn|each FOLDER N (run by bench/capture/run.sh and "
                    "wine.sh)\n");
        return argc == 1 ? 0 : 2;
    }
    const std::string_view workload = argv[1];
    const std::string folder = argv[2];
    char* end = nullptr;
    const long n = std::strtol(argv[3], &end, 10);
    if (!end || *end || n <= 0) {
        std::fprintf(stderr, "bench_capture_gen: N must be a positive number\n");
        return 2;
    }
    bool done = false;
    long ops = 0;
    long ours = 0;
    long peer = 0;
    if (workload == "files") {
        done = fileLives(n, [&](long) -> const std::string& { return folder; });
        ops = ours = peer = 4 * n;
    } else if (workload == "each") {
        done = eachInTurn(folder, n);
        ops = ours = peer = 4 * n;
    } else if (workload == "tree") {
        done = tree(folder, n);
        ops = ours = peer = 4 * n + 2 * kTreeFolders;
    } else if (workload == "rewrite") {
        done = rewrite(folder, n);
        ops = n + 2;
        ours = peer = 2; // the writes collapse: at most one Update File a second, kernel-merged MODIFY lines
    } else if (workload == "churn") {
        const long paths = std::max(1L, n / 10);
        done = churn(folder, paths);
        // kChurnDepth folders made and removed, the file's create, write and delete, the rename
        ops = ours = peer = paths * (2 * kChurnDepth + 4);
    } else {
        std::fprintf(stderr, "bench_capture_gen: unknown workload %s\n", argv[1]);
        return 2;
    }
    if (!done)
        return 1;
    std::printf("workload %s ops %ld ours %ld peer %ld\n", argv[1], ops, ours, peer);
    return 0;
}
