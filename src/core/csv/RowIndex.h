#pragma once

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
        size_t hash = 0;
        qint32 head = -1; // first record of the group; -1: free slot
        qint32 count = 0;
    };

    // `hashes[r]` for each record r in [first, hashes.size()); same(a, b)
    // tells whether two records with equal hashes belong together.
    template <typename Same>
    void build(const std::vector<size_t> &hashes, qint32 first, Same &&same)
    {
        const size_t records = hashes.size();
        size_t capacity = 16;
        while (capacity < 2 * records)
            capacity *= 2;
        m_mask = capacity - 1;
        m_groups = largeArray(capacity, Group{});
        m_next = largeArray(records, qint32(-1));
        m_groupOf = largeArray(records, qint32(-1));
        // Backwards, so that each chain ends up in file order.
        constexpr qint32 kAhead = 8; // slots fetched ahead of their use
        for (qint32 r = qint32(records) - 1; r >= first; --r) {
            if (r - kAhead >= first)
                __builtin_prefetch(&m_groups[hashes[size_t(r - kAhead)] & m_mask]);
            const size_t hash = hashes[size_t(r)];
            size_t slot = hash & m_mask;
            for (;; slot = (slot + 1) & m_mask) {
                Group &group = m_groups[slot];
                if (group.head < 0) {
                    group = {hash, r, 1};
                    break;
                }
                if (group.hash == hash && same(group.head, r)) {
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
        for (size_t slot = hash & m_mask;; slot = (slot + 1) & m_mask) {
            const Group &group = m_groups[slot];
            if (group.head < 0)
                return -1;
            if (group.hash == hash && matches(group.head))
                return qint32(slot);
        }
    }

    // Hints that find(hash) will soon be called.
    void prefetch(size_t hash) const
    {
        if (!m_groups.empty())
            __builtin_prefetch(&m_groups[hash & m_mask]);
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
        return m_groups.empty() ? -1 : m_groups[hash & m_mask].head;
    }

    const Group &group(qint32 slot) const { return m_groups[size_t(slot)]; }
    qint32 groupOf(qint32 record) const { return m_groupOf[size_t(record)]; }
    // The record after `record` in its group, or -1.
    qint32 next(qint32 record) const { return m_next[size_t(record)]; }
    size_t slotCount() const { return m_groups.size(); }

private:
    std::vector<Group> m_groups;
    std::vector<qint32> m_next;
    std::vector<qint32> m_groupOf;
    size_t m_mask = 0;
};

} // namespace Csv
