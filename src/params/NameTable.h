// A table from names to values with open addressing, for the amend merge's
// tables of up to a few hundred thousand keys.
#pragma once
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

// A table from names to values with open addressing: one flat array of
// small slots (the values lie apart), so that a lookup in a table of a few
// hundred thousand names costs one or two cache misses instead of a walk
// through scattered nodes. The names are views; what they point at must
// outlive the table.
template <typename V>
class NameTable {
public:
    // Filled up to three quarters: a table of a few hundred thousand names
    // stays as small as linear probing allows, since its memory, fresh on
    // every merge, costs more than the probes.
    explicit NameTable(size_t expected)
    {
        size_t capacity = 16;
        while (capacity * 3 < expected * 4)
            capacity <<= 1;
        m_slots.resize(capacity);
        m_values.resize(capacity);
    }

    // The value of name, added as value when name is new; second: added.
    std::pair<V*, bool> Emplace(std::string_view name, const V& value) { return Emplace(name, Hash(name), value); }
    std::pair<V*, bool> Emplace(std::string_view name, uint32_t hash, const V& value)
    {
        if ((m_count + 1) * 4 > m_slots.size() * 3)
            Grow();
        size_t at = Probe(name, hash);
        if (m_slots[at].data)
            return {&m_values[at], false};
        m_slots[at] = Slot{name.data() ? name.data() : "", static_cast<uint32_t>(name.size()), hash};
        m_values[at] = value;
        ++m_count;
        return {&m_values[at], true};
    }

    V* Find(std::string_view name) { return Find(name, Hash(name)); }
    V* Find(std::string_view name, uint32_t hash)
    {
        size_t at = Probe(name, hash);
        return m_slots[at].data ? &m_values[at] : nullptr;
    }

    static uint32_t Hash(std::string_view name)
    {
        uint64_t h = 14695981039346656037ull; // FNV-1a, then mixed
        for (char c : name)
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        h ^= h >> 29;
        h *= 0xbf58476d1ce4e5b9ull;
        return static_cast<uint32_t>(h ^ (h >> 32));
    }

    // Empties the table and keeps its room, for the next use of about the same size.
    void Clear()
    {
        for (Slot& slot : m_slots)
            slot = Slot();
        m_count = 0;
    }

private:
    struct Slot {
        const char* data = nullptr; // nullptr: the slot is free
        uint32_t size = 0;
        uint32_t hash = 0;
    };

    size_t Probe(std::string_view name, uint32_t hash) const
    {
        size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (!slot.data || (slot.hash == hash && slot.size == name.size() &&
                               (name.empty() || memcmp(slot.data, name.data(), name.size()) == 0)))
                return i;
        }
    }

    void Grow()
    {
        std::vector<Slot> oldSlots;
        std::vector<V> oldValues;
        oldSlots.swap(m_slots);
        oldValues.swap(m_values);
        m_slots.resize(oldSlots.size() * 2);
        m_values.resize(oldSlots.size() * 2);
        size_t mask = m_slots.size() - 1;
        for (size_t k = 0; k < oldSlots.size(); ++k) {
            if (!oldSlots[k].data)
                continue;
            size_t i = oldSlots[k].hash & mask;
            while (m_slots[i].data)
                i = (i + 1) & mask;
            m_slots[i] = oldSlots[k];
            m_values[i] = oldValues[k];
        }
    }

    std::vector<Slot> m_slots;
    std::vector<V> m_values;
    size_t m_count = 0;
};
