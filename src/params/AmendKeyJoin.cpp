#include "params/AmendKeyJoin.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "params/NameTable.h"

namespace {
// Keys per part: a part's table and its keys stay within a core's cache.
const size_t kKeysPerPart = 16384;

struct KeyRef {
    uint32_t hash;
    uint32_t line;
    std::string_view key; // the copy in the part's run of keys
};

// The lines' keys grouped by part (the hash's top bits), each group in line
// order; start[p] .. start[p + 1] is part p. The keys are copied next to
// each other part by part, so that comparing them inside a part reads
// memory close by instead of all over the texts.
void Partition(const std::vector<KeyedLine>& lines, unsigned shift, size_t parts, std::vector<KeyRef>& refs,
               std::vector<size_t>& start, std::string& keys)
{
    auto partOf = [&](uint32_t hash) { return shift < 32 ? hash >> shift : 0; };
    std::vector<uint32_t> hashes(lines.size());
    std::vector<size_t> bytes(parts + 1, 0);
    start.assign(parts + 1, 0);
    for (size_t i = 0; i < lines.size(); ++i) {
        hashes[i] = NameTable<uint32_t>::Hash(lines[i].key);
        ++start[partOf(hashes[i]) + 1];
        bytes[partOf(hashes[i]) + 1] += lines[i].key.size();
    }
    for (size_t p = 0; p < parts; ++p) {
        start[p + 1] += start[p];
        bytes[p + 1] += bytes[p];
    }
    keys.resize(bytes[parts]);
    std::vector<size_t> fill(start.begin(), start.end() - 1);
    std::vector<size_t> byteFill(bytes.begin(), bytes.end() - 1);
    refs.resize(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        size_t p = partOf(hashes[i]);
        std::string_view key = lines[i].key;
        char* at = &keys[0] + byteFill[p];
        if (!key.empty())
            memcpy(at, key.data(), key.size());
        byteFill[p] += key.size();
        refs[fill[p]++] = {hashes[i], static_cast<uint32_t>(i), std::string_view(at, key.size())};
    }
}
} // namespace

AmendKeyMatch MatchAmendKeys(const std::vector<KeyedLine>& target, const std::vector<KeyedLine>& saved)
{
    AmendKeyMatch match;
    match.firstOf.resize(target.size());
    match.takes.assign(saved.size(), AmendKeyMatch::kNone);

    unsigned bits = 0;
    while ((target.size() >> bits) > kKeysPerPart && bits < 16)
        ++bits;
    const size_t parts = size_t(1) << bits;
    const unsigned shift = 32 - bits; // 32: one part
    std::vector<KeyRef> targetRefs, savedRefs;
    std::vector<size_t> targetStart, savedStart;
    std::string targetKeys, savedKeys;
    Partition(target, shift, parts, targetRefs, targetStart, targetKeys);
    Partition(saved, shift, parts, savedRefs, savedStart, savedKeys);

    // A key lies in one part with all its lines, and each part keeps line
    // order: matching part by part gives what matching in line order gives.
    size_t largest = 0;
    for (size_t p = 0; p < parts; ++p)
        largest = std::max(largest, targetStart[p + 1] - targetStart[p]);
    NameTable<uint32_t> table(largest);
    std::vector<bool> taken(target.size(), false);
    for (size_t p = 0; p < parts; ++p) {
        table.Clear();
        for (size_t r = targetStart[p]; r < targetStart[p + 1]; ++r) {
            const KeyRef& ref = targetRefs[r];
            match.firstOf[ref.line] = *table.Emplace(ref.key, ref.hash, ref.line).first;
        }
        for (size_t r = savedStart[p]; r < savedStart[p + 1]; ++r) {
            const KeyRef& ref = savedRefs[r];
            const uint32_t* first = table.Find(ref.key, ref.hash);
            if (first && !taken[*first]) {
                taken[*first] = true;
                match.takes[ref.line] = *first;
            }
        }
    }
    return match;
}
