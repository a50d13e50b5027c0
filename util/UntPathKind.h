// What a path names on disk, as far as the views' icons care: nothing, a file, a folder, or the
// root of a drive (a mounted filesystem). One status call answers, two for a folder, and no
// mount table is read, so it is cheap enough for every new tree node.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

enum class TPathKind : std::uint8_t { Missing, File, Folder, Drive };

// A separator at the end is ignored ("/srv/a.txt/" is the file /srv/a.txt); "/" and "C:\" are
// drives. Linux: a folder is a drive when its filesystem differs from its parent's.
TPathKind lookupPathKind(std::string_view path);

// The 64-bit key a path is filed under.
std::uint64_t pathKey(std::string_view path);

// Answers about paths (a kind, an icon index), for one thread at a time, filed by pathKey rather
// than the path itself: no allocation per path, and two paths sharing a key (about one in 10^19)
// would at worst share an icon. Answers live for about two generations of generationSize paths,
// so memory stays bounded however many paths a recording names.
class TPathAnswers {
public:
    explicit TPathAnswers(std::size_t generationSize = std::size_t(1) << 16);

    std::optional<std::int32_t> find(std::uint64_t key) const;
    void store(std::uint64_t key, std::int32_t answer);

private:
    // Open addressing, linear probing, never deleted from: a generation is dropped whole.
    struct TTable {
        std::vector<std::uint64_t> keys; // 0: empty
        std::vector<std::int32_t> answers;
        std::size_t count = 0;
        const std::int32_t* find(std::uint64_t key) const;
    };

    const std::size_t generationSize_;
    TTable current_;
    TTable previous_;
};
