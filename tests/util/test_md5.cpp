#include "tests/util/TestTempFolder.h"
#include "util/MD5Api.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include "util/UntWide.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr const char* kNoData = "d41d8cd98f00b204e9800998ecf8427e";

std::string hexOf(const std::string& bytes)
{
    return digestToHex(md5Of(bytes.data(), bytes.size()));
}

// Bytes that differ from window to window, so a skipped or repeated window changes the digest.
std::string patterned(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + i / 4096) & 0xFF);
    return bytes;
}

} // namespace

TEST(MD5Core, MatchesTheRfc1321TestSuite)
{
    EXPECT_EQ(hexOf(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hexOf("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(hexOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(hexOf("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(hexOf("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(hexOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(hexOf("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(hexOf(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(MD5Core, PiecewiseUpdatesEqualOneUpdate)
{
    // Lengths around the 56- and 64-byte padding limits, fed in every split and with empty pieces.
    for (const std::size_t size : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u}) {
        const std::string bytes = patterned(size);
        const TMD5Digest whole = md5Of(bytes.data(), bytes.size());
        for (std::size_t cut = 0; cut <= size; cut += (size < 130 ? 1 : 97)) {
            TMD5Context context;
            md5Init(context);
            md5Update(context, bytes.data(), cut);
            md5Update(context, nullptr, 0);
            md5Update(context, bytes.data() + cut, size - cut);
            ASSERT_EQ(md5Final(context), whole) << size << " cut at " << cut;
        }
    }
}

TEST(MD5Core, FinalClearsTheWorkingState)
{
    TMD5Context context;
    md5Init(context);
    md5Update(context, "some bytes", 10);
    md5Final(context);
    TMD5Context zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&context, &zero, sizeof context), 0);
}

TEST(MD5Api, DigestTextIsLowercaseHexInByteOrder)
{
    TMD5Digest digest{};
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<std::uint8_t>(i * 0x11);
    EXPECT_EQ(digestToHex(digest), "00112233445566778899aabbccddeeff");
    digest.fill(0xAB);
    EXPECT_EQ(digestToHex(digest), "abababababababababababababababab");
}

TEST(MD5Api, FilesFoldersAndMissingPaths)
{
    TTestTempFolder folder;
    const std::string empty = folder.path("empty.bin");
    const std::string abc = folder.path("abc.txt");
    writeBytes(empty, "");
    writeBytes(abc, "abc");
    EXPECT_EQ(getFileMD5(empty), kNoData);
    EXPECT_EQ(getFileMD5(abc), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(getFileMD5(folder.path("missing.txt")), "");
    EXPECT_EQ(getFileMD5(utf8Path(folder.root())), "");
    EXPECT_TRUE(isExistingFile(abc));
    EXPECT_FALSE(isExistingFile(utf8Path(folder.root())));

    // digestFile leaves the caller's bytes alone when there is no file to digest.
    TMD5Digest marker;
    marker.fill(0x5A);
    TMD5Digest untouched = marker;
    digestFile(folder.path("missing.txt"), untouched);
    digestFile(utf8Path(folder.root()), untouched);
    EXPECT_EQ(untouched, marker);
    digestFile(abc, untouched);
    EXPECT_EQ(digestToHex(untouched), "900150983cd24fb0d6963f7d28e17f72");

    const std::string unicode = folder.path("d\xC3\xA9j\xC3\xA0 vu.txt");
    writeBytes(unicode, "abc");
    EXPECT_EQ(getFileMD5(unicode), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(MD5Api, LargeFilesAreReadThroughSeveralWindows)
{
    TTestTempFolder folder;
    const std::string path = folder.path("big.bin");
    // 64 KiB is the coarsest mapping granularity (Windows); a window of 1 byte rounds up to it.
    const std::string bytes = patterned(5 * 65536 + 123);
    writeBytes(path, bytes);
    const TMD5Digest expected = md5Of(bytes.data(), bytes.size());
    for (const std::uint64_t window : {std::uint64_t{1}, std::uint64_t{65536}, std::uint64_t{3 * 65536},
                                       std::uint64_t{5 * 65536 + 123}, kDigestWindowBytes}) {
        TFileDigestObj file(path, window);
        ASSERT_TRUE(file.isOpen());
        EXPECT_EQ(file.getSize(), bytes.size());
        EXPECT_EQ(file.digest(), expected) << "window " << window;
    }
    EXPECT_EQ(getFileMD5(path), digestToHex(expected));
}

TEST(MD5Api, ACancelSeenBetweenWindowsEndsTheDigestBeforeTheEnd)
{
    TTestTempFolder folder;
    const std::string path = folder.path("sparse.bin");
    writeBytes(path, "");
    // 4 GiB of holes: reading it all takes seconds, so the digest still runs when the cancel comes.
    std::filesystem::resize_file(nativePath(path), std::uint64_t{4} << 30);
    TFileDigestObj file(path);
    ASSERT_EQ(file.getSize(), std::uint64_t{4} << 30);
    std::atomic<bool> cancelled{true};
    EXPECT_FALSE(file.digestUnless(cancelled).has_value()) << "a cancel set before reads nothing";

    cancelled = false;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cancelled = true;
    });
    const std::optional<TMD5Digest> digest = file.digestUnless(cancelled);
    canceller.join();
    EXPECT_FALSE(digest.has_value()) << "the whole file was digested in spite of the cancel";
}

TEST(MD5Api, AGrowingFileIsDigestedUpToItsSizeWhenOpened)
{
    TTestTempFolder folder;
    const std::string path = folder.path("growing.log");
    const std::string first = patterned(100000);
    writeBytes(path, first);
    TFileDigestObj file(path, 1);
    {
        std::ofstream out(nativePath(path), std::ios::binary | std::ios::app);
        out << std::string(70000, 'x');
    }
    EXPECT_EQ(file.getSize(), first.size());
    EXPECT_EQ(file.digest(), md5Of(first.data(), first.size()));
    EXPECT_EQ(getFileMD5(path), hexOf(first + std::string(70000, 'x')));
}

#ifndef _WIN32
TEST(MD5Api, AFileThatShrinksWhileReadGivesTheDigestOfNoData)
{
    TTestTempFolder folder;
    const std::string path = folder.path("shrinking.log");
    writeBytes(path, patterned(8 * 65536));
    TFileDigestObj file(path, 65536);
    ASSERT_EQ(file.getSize(), 8u * 65536);
    std::filesystem::resize_file(nativePath(path), 65536 + 100);
    // Reading past the new end faults; the digest must still come back.
    EXPECT_EQ(digestToHex(file.digest()), kNoData);
    // The process still handles its own faults normally afterwards: a new digest works.
    EXPECT_EQ(getFileMD5(path), hexOf(patterned(8 * 65536).substr(0, 65536 + 100)));
}

TEST(MD5Api, OnlyRegularFilesAreDigested)
{
    TTestTempFolder folder;
    const std::string fifo = folder.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(isExistingFile(fifo));
    EXPECT_EQ(getFileMD5(fifo), ""); // must return at once: no writer will ever come
    TFileDigestObj opened(fifo);
    EXPECT_FALSE(opened.isOpen());
    EXPECT_EQ(digestToHex(opened.digest()), kNoData);

    EXPECT_EQ(getFileMD5("/dev/null"), "");
    EXPECT_EQ(getFileMD5("/dev/zero"), "");

    const std::string target = folder.path("target.txt");
    writeBytes(target, "abc");
    std::filesystem::create_symlink(nativePath(target), nativePath(folder.path("link")));
    EXPECT_EQ(getFileMD5(folder.path("link")), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(MD5Api, AnUnreadableFileGivesTheDigestOfNoData)
{
    if (runningAsRoot())
        GTEST_SKIP() << "root reads files without read permission; the refusal cannot be observed";
    TTestTempFolder folder;
    const std::string path = folder.path("secret.txt");
    writeBytes(path, "abc");
    std::filesystem::permissions(nativePath(path), std::filesystem::perms::none);
    EXPECT_EQ(getFileMD5(path), kNoData);
}
#else
TEST(MD5Api, AFileHeldExclusivelyGivesTheDigestOfNoData)
{
    TTestTempFolder folder;
    const std::string path = folder.path("locked.txt");
    writeBytes(path, "abc");
    const HANDLE held =
        CreateFileW(toWide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(getFileMD5(path), kNoData);
    CloseHandle(held);
    EXPECT_EQ(getFileMD5(path), "900150983cd24fb0d6963f7d28e17f72");
}
#endif

TEST(MD5Api, DigestsOnSeveralThreadsDoNotInterfere)
{
    TTestTempFolder folder;
    std::vector<std::string> paths;
    std::vector<std::string> expected;
    for (int i = 0; i < 4; ++i) {
        const std::string bytes = patterned(200000 + static_cast<std::size_t>(i) * 977);
        paths.push_back(folder.path("f" + std::to_string(i)));
        writeBytes(paths.back(), bytes);
        expected.push_back(hexOf(bytes));
    }
    std::vector<std::string> results(paths.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < paths.size(); ++i)
        threads.emplace_back([&, i] {
            for (int round = 0; round < 5; ++round)
                results[i] = getFileMD5(paths[i]);
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(results, expected);
}
