// Which lines of a target section repeat an earlier key, and which saved
// entries take which target line: the key matching of the amend merge.
// The keys are split by hash into parts small enough for the cache and each
// part is matched alone, so that the time grows with the number of lines and
// not faster: one table of a few hundred thousand keys is a cache miss per
// look-up, and more of them the bigger it gets.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

struct KeyedLine {
    std::string_view key, value;
};

struct AmendKeyMatch {
    static constexpr uint32_t kNone = UINT32_MAX;
    // For each target line: the first target line with its key (itself if none before).
    std::vector<uint32_t> firstOf;
    // For each saved line, in order: the first target line of its key when
    // no earlier saved line took that one, else kNone.
    std::vector<uint32_t> takes;
};

AmendKeyMatch MatchAmendKeys(const std::vector<KeyedLine>& target, const std::vector<KeyedLine>& saved);
