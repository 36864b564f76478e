#pragma once

// The hash cache's entries in memory, by device and inode: one array of
// entries and an open-addressed index into it. A rescan loads a few hundred
// thousand entries and looks each candidate up once, so this costs no
// allocation per entry and one cache line per look-up. Adding an entry may
// move the others: a pointer from find() holds until the next insert().

#include <QtGlobal>

#include <cstddef>
#include <vector>

namespace clarivex {

// The hash of a cache key, spread over all 64 bits.
inline quint64 keyHash(quint64 device, quint64 inode)
{
    const quint64 mixed = (inode ^ (device << 40) ^ (device >> 24)) * 0x9E3779B97F4A7C15ULL;
    return mixed ^ (mixed >> 29);
}

template <typename Entry> class HashCacheTable
{
public:
    void clear()
    {
        m_entries.clear();
        m_entries.shrink_to_fit();
        m_slots.clear();
        m_slots.shrink_to_fit();
    }

    void reserve(size_t count)
    {
        m_entries.reserve(count);
        if (slotsFor(count) > m_slots.size()) rebuild(slotsFor(count));
    }

    [[nodiscard]] size_t size() const { return m_entries.size(); }
    [[nodiscard]] std::vector<Entry> &entries() { return m_entries; }

    [[nodiscard]] const Entry *find(quint64 device, quint64 inode) const
    {
        return const_cast<HashCacheTable *>(this)->find(device, inode);
    }

    [[nodiscard]] Entry *find(quint64 device, quint64 inode)
    {
        if (m_slots.empty()) return nullptr;
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = slotOf(device, inode);; slot = (slot + 1) & mask) {
            const quint32 index = m_slots[slot];
            if (index == 0) return nullptr;
            Entry &entry = m_entries[index - 1];
            if (entry.key.device == device && entry.key.inode == inode) return &entry;
        }
    }

    // The entry of this device and inode, made (with only those set) when
    // there is none.
    Entry &insert(quint64 device, quint64 inode)
    {
        if (Entry *found = find(device, inode)) return *found;
        if (slotsFor(m_entries.size() + 1) > m_slots.size())
            rebuild(slotsFor(m_entries.size() + 1) * 2);
        Entry &entry = m_entries.emplace_back();
        entry.key.device = device;
        entry.key.inode = inode;
        place(m_entries.size() - 1);
        return entry;
    }

private:
    // At most half the slots in use: probes stay short.
    static size_t slotsFor(size_t count)
    {
        size_t wanted = 16;
        while (wanted < count * 2)
            wanted *= 2;
        return wanted;
    }

    // A slot is chosen by the hash's top bits, the same bits that choose an
    // entry's chunk on disk (hash_cache_chunks.h): a chunk's entries, loaded
    // one after the other, fill one stretch of slots.
    [[nodiscard]] size_t slotOf(quint64 device, quint64 inode) const
    {
        return size_t(keyHash(device, inode) >> m_shift);
    }

    void place(size_t index)
    {
        const size_t mask = m_slots.size() - 1;
        const Entry &entry = m_entries[index];
        size_t slot = slotOf(entry.key.device, entry.key.inode);
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = quint32(index + 1);
    }

    void rebuild(size_t slotCount)
    {
        m_slots.assign(slotCount, 0);
        m_shift = 64;
        for (size_t count = slotCount; count > 1; count /= 2)
            --m_shift;
        for (size_t i = 0; i < m_entries.size(); ++i)
            place(i);
    }

    std::vector<Entry> m_entries;
    std::vector<quint32> m_slots; // an entry's index + 1; 0 for a free slot
    int m_shift = 64;             // 64 less log2 of the slot count
};

} // namespace clarivex
