// File digest throughput: our mapped-window MD5 against the system's md5sum on the same 1 GiB
// file in the same run. The file is written once to /tmp (so both read it from the page cache)
// and removed at the end. Prints the throughput ratio ours / md5sum.
// Then the cancel latency: a digest of a 4 GiB sparse file cancelled from another thread, from
// the cancel to the return, against the time the whole digest of that file takes.
#include "util/MD5Api.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint64_t kFileBytes = std::uint64_t{1} << 30;

std::string gPath;
std::string gExpected; // our digest, checked against md5sum's

// A file of pseudo-random bytes in /tmp, removed when the program ends.
class TBenchFile {
public:
    TBenchFile()
    {
        char name[] = "/tmp/fm-bench-md5-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0)
            throw std::runtime_error("cannot create a file in /tmp");
        path_ = name;
        std::vector<std::uint64_t> chunk((std::size_t{1} << 20) / sizeof(std::uint64_t));
        std::uint64_t x = 0x9E3779B97F4A7C15ull;
        for (std::uint64_t written = 0; written < kFileBytes;) {
            for (auto& word : chunk) {
                x ^= x << 13;
                x ^= x >> 7;
                x ^= x << 17;
                word = x;
            }
            const auto* bytes = reinterpret_cast<const char*>(chunk.data());
            std::size_t left = chunk.size() * sizeof(std::uint64_t);
            while (left > 0) {
                const ssize_t n = ::write(fd, bytes, left);
                if (n <= 0) {
                    ::close(fd);
                    ::unlink(path_.c_str());
                    throw std::runtime_error("cannot write " + path_);
                }
                bytes += n;
                left -= static_cast<std::size_t>(n);
                written += static_cast<std::uint64_t>(n);
            }
        }
        ::close(fd);
    }
    TBenchFile(const TBenchFile&) = delete;
    TBenchFile& operator=(const TBenchFile&) = delete;
    ~TBenchFile() { ::unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string runMd5sum(const std::string& path)
{
    const std::string command = "md5sum -- '" + path + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {};
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    return got ? std::string(line, 32) : std::string();
}

void BM_getFileMD5(benchmark::State& state)
{
    for (auto _ : state) {
        const std::string digest = getFileMD5(gPath);
        if (digest != gExpected)
            state.SkipWithError("digest changed between runs");
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}

void BM_md5sum(benchmark::State& state)
{
    for (auto _ : state) {
        const std::string digest = runMd5sum(gPath);
        if (digest != gExpected)
            state.SkipWithError(("md5sum disagrees or is missing: '" + digest + "'").c_str());
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileBytes));
}

BENCHMARK(BM_getFileMD5)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_md5sum)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// Shows every run as usual and keeps the mean wall time of each benchmark for the ratio.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                times[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Cancels a digest of a 4 GiB sparse file 200 ms after it began, several times; prints the worst
// time from the cancel to the return next to the time of one whole digest of the same file.
void measureCancelLatency()
{
    char name[] = "/tmp/fm-bench-sparse-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(std::uint64_t{4} << 30)) != 0) {
        std::printf("cancel latency: cannot make a sparse file in /tmp\n");
        if (fd >= 0)
            ::close(fd);
        return;
    }
    ::close(fd);
    double worst = 0;
    for (int round = 0; round < 5; ++round) {
        TFileDigestObj file(name);
        std::atomic<bool> cancelled{false};
        std::chrono::steady_clock::time_point cancelledAt;
        std::thread digest([&] { benchmark::DoNotOptimize(file.digestUnless(cancelled)); });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancelledAt = std::chrono::steady_clock::now();
        cancelled = true;
        digest.join();
        worst = std::max(worst, millisecondsSince(cancelledAt));
    }
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(getFileMD5(name));
    const double whole = millisecondsSince(start);
    ::unlink(name);
    std::printf("cancel latency on a 4 GiB sparse file: worst of 5 %.1f ms; the whole digest %.0f ms; "
                "ratio cancel / whole = %.4f\n",
                worst, whole, worst / whole);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const TBenchFile file;
    gPath = file.path();
    gExpected = getFileMD5(gPath); // also brings the file into the page cache
    std::printf("file %s, %llu bytes, md5 %s\n", gPath.c_str(), static_cast<unsigned long long>(kFileBytes),
                gExpected.c_str());

    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto ours = reporter.times.find("BM_getFileMD5");
    const auto baseline = reporter.times.find("BM_md5sum");
    if (ours != reporter.times.end() && baseline != reporter.times.end() && ours->second > 0) {
        std::printf("getFileMD5 %.0f ms, md5sum %.0f ms per GiB: throughput ratio ours / md5sum = %.2f\n", ours->second,
                    baseline->second, baseline->second / ours->second);
    }
    measureCancelLatency();
    return 0;
}
