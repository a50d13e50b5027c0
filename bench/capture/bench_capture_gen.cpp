// The capture comparisons' workload, as fast as the system allows: creates N empty files in a
// folder, renames each, then deletes each; or with "each", one file after another is created,
// written, renamed and deleted. Prints what a complete capture must show.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool fail(const char* what, const std::string& path)
{
    std::fprintf(stderr, "bench_capture_gen: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    return false;
}

bool run(const std::string& folder, long count)
{
    for (long i = 0; i < count; ++i) {
        const std::string path = folder + "/f" + std::to_string(i);
        const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0 || ::close(fd) != 0)
            return fail("cannot create", path);
    }
    for (long i = 0; i < count; ++i) {
        const std::string from = folder + "/f" + std::to_string(i);
        const std::string to = folder + "/g" + std::to_string(i);
        if (::rename(from.c_str(), to.c_str()) != 0)
            return fail("cannot rename", from);
    }
    for (long i = 0; i < count; ++i) {
        const std::string path = folder + "/g" + std::to_string(i);
        if (::unlink(path.c_str()) != 0)
            return fail("cannot delete", path);
    }
    std::printf("creates %ld renames %ld deletes %ld events %ld\n", count, count, count, 3 * count);
    return true;
}

bool runEach(const std::string& folder, long count)
{
    for (long i = 0; i < count; ++i) {
        const std::string path = folder + "/f" + std::to_string(i);
        const std::string renamed = folder + "/g" + std::to_string(i);
        const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, "x\n", 2) != 2 || ::close(fd) != 0)
            return fail("cannot create and write", path);
        if (::rename(path.c_str(), renamed.c_str()) != 0)
            return fail("cannot rename", path);
        if (::unlink(renamed.c_str()) != 0)
            return fail("cannot delete", renamed);
    }
    std::printf("creates %ld updates %ld renames %ld deletes %ld events %ld\n", count, count, count, count, 4 * count);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const bool each = argc == 4 && std::strcmp(argv[3], "each") == 0;
    if (argc != 3 && !each) {
        // Run by the scripts of bench/capture with their arguments; alone it has nothing to measure.
        std::printf("usage: bench_capture_gen FOLDER COUNT [each] (run by bench/capture/run.sh and wine.sh)\n");
        return argc == 1 ? 0 : 2;
    }
    char* end = nullptr;
    const long count = std::strtol(argv[2], &end, 10);
    if (!end || *end || count <= 0) {
        std::fprintf(stderr, "bench_capture_gen: COUNT must be a positive number\n");
        return 2;
    }
    return (each ? runEach(argv[1], count) : run(argv[1], count)) ? 0 : 1;
}
