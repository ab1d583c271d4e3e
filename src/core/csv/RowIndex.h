#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include <QtGlobal>

#include "csv/LargeArrays.h"

namespace Csv {

// Groups the records of one table that are equal under some rule (same key,
// or same row), by their hash: open addressing, each group a chain of its
// records in file order. Linear in the number of records.
class RowIndex
{
public:
    struct Group
    {
        quint32 tag = 0;  // the hash's low half (its high bits pick the slot)
        qint32 head = -1; // first record of the group; -1: free slot
        qint32 count = 0;
    };

    // `hashes[r]` for each record r in [first, hashes.size()); same(a, b)
    // tells whether two records with equal hashes belong together.
    template <typename Same>
    void build(const std::vector<size_t> &hashes, qint32 first, Same &&same)
    {
        const size_t records = hashes.size();
        // Three quarters full at most: short probes, and less memory than
        // the next power of two would take.
        const size_t capacity = std::max<size_t>(16, records + records / 3 + 1);
        m_groups = largeArray(capacity, Group{});
        m_next = largeArray(records, qint32(-1));
        m_groupOf = largeArray(records, qint32(-1));
        // Backwards, so that each chain ends up in file order.
        constexpr qint32 kAhead = 8; // slots fetched ahead of their use
        for (qint32 r = qint32(records) - 1; r >= first; --r) {
            if (r - kAhead >= first)
                __builtin_prefetch(&m_groups[home(hashes[size_t(r - kAhead)])]);
            const size_t hash = hashes[size_t(r)];
            const quint32 tag = tagOf(hash);
            size_t slot = home(hash);
            for (;; slot = nextSlot(slot)) {
                Group &group = m_groups[slot];
                if (group.head < 0) {
                    group = {tag, r, 1};
                    break;
                }
                if (group.tag == tag && same(group.head, r)) {
                    m_next[size_t(r)] = group.head;
                    group.head = r;
                    ++group.count;
                    break;
                }
            }
            m_groupOf[size_t(r)] = qint32(slot);
        }
    }

    // The group whose records `matches(record)`, or -1.
    template <typename Matches>
    qint32 find(size_t hash, Matches &&matches) const
    {
        if (m_groups.empty())
            return -1;
        const quint32 tag = tagOf(hash);
        for (size_t slot = home(hash);; slot = nextSlot(slot)) {
            const Group &group = m_groups[slot];
            if (group.head < 0)
                return -1;
            if (group.tag == tag && matches(group.head))
                return qint32(slot);
        }
    }

    // Hints that find(hash) will soon be called.
    void prefetch(size_t hash) const
    {
        if (!m_groups.empty())
            __builtin_prefetch(&m_groups[home(hash)]);
    }
    // Hints that the group of `record` will soon be read.
    void prefetchGroupOf(qint32 record) const
    {
        if (size_t(record) < m_groupOf.size())
            __builtin_prefetch(&m_groups[size_t(m_groupOf[size_t(record)])]);
    }
    // The first record of the group find(hash) most likely returns, or -1.
    qint32 likelyHead(size_t hash) const
    {
        return m_groups.empty() ? -1 : m_groups[home(hash)].head;
    }

    const Group &group(qint32 slot) const { return m_groups[size_t(slot)]; }
    qint32 groupOf(qint32 record) const { return m_groupOf[size_t(record)]; }
    // The record after `record` in its group, or -1.
    qint32 next(qint32 record) const { return m_next[size_t(record)]; }
    size_t slotCount() const { return m_groups.size(); }

private:
    static quint32 tagOf(size_t hash) { return quint32(hash); }
    // The slot a hash starts from: its high bits scaled to the capacity.
    size_t home(size_t hash) const
    {
        __extension__ typedef unsigned __int128 Wide;
        return size_t(Wide(quint64(hash)) * m_groups.size() >> 64);
    }
    size_t nextSlot(size_t slot) const { return slot + 1 == m_groups.size() ? 0 : slot + 1; }

    std::vector<Group> m_groups;
    std::vector<qint32> m_next;
    std::vector<qint32> m_groupOf;
};

} // namespace Csv
