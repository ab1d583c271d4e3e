#pragma once

#include <algorithm>
#include <cmath>
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
        // Room for the groups there will likely be, three quarters full at
        // most: short probes, and a file of one key repeated costs no slot
        // a row. Grown should the guess fall short.
        m_groups = largeArray(capacityFor(likelyGroups(hashes, first)), Group{});
        m_next = largeArray(records, qint32(-1));
        size_t used = 0;
        // Backwards, so that each chain ends up in file order.
        constexpr qint32 kAhead = 8; // slots fetched ahead of their use
        for (qint32 r = qint32(records) - 1; r >= first; --r) {
            if (r - kAhead >= first)
                __builtin_prefetch(&m_groups[home(hashes[size_t(r - kAhead)])]);
            const size_t hash = hashes[size_t(r)];
            const quint32 tag = tagOf(hash);
            for (size_t slot = home(hash);; slot = nextSlot(slot)) {
                Group &group = m_groups[slot];
                if (group.head < 0) {
                    group = {tag, r, 1};
                    if (++used * 4 > m_groups.size() * 3)
                        grow(hashes);
                    break;
                }
                if (group.tag == tag && same(group.head, r)) {
                    m_next[size_t(r)] = group.head;
                    group.head = r;
                    ++group.count;
                    break;
                }
            }
        }
        m_groupOf = largeArray(records, qint32(-1));
        for (size_t slot = 0; slot < m_groups.size(); ++slot) {
            for (qint32 r = m_groups[slot].head; r >= 0; r = m_next[size_t(r)])
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
    static size_t capacityFor(size_t groups)
    {
        return std::max<size_t>(16, groups + groups / 3 + 1);
    }

    // How many distinct hashes there are from `first` on, within a few per
    // cent (a HyperLogLog count: 4 KiB, one pass), a little over rather than under.
    static size_t likelyGroups(const std::vector<size_t> &hashes, qint32 first)
    {
        constexpr int kBits = 12;
        constexpr size_t kRegisters = size_t(1) << kBits;
        std::vector<quint8> registers(kRegisters, 0);
        for (size_t r = size_t(std::max(first, 0)); r < hashes.size(); ++r) {
            const quint64 hash = quint64(hashes[r]);
            const quint64 rest = hash << kBits;
            const quint8 rank = quint8(rest == 0 ? 64 - kBits + 1 : __builtin_clzll(rest) + 1);
            quint8 &reg = registers[size_t(hash >> (64 - kBits))];
            reg = std::max(reg, rank);
        }
        double sum = 0;
        size_t zeros = 0;
        for (const quint8 reg : registers) {
            sum += 1.0 / double(quint64(1) << reg);
            zeros += reg == 0 ? 1 : 0;
        }
        const double m = double(kRegisters);
        double estimate = 0.7213 / (1 + 1.079 / m) * m * m / sum;
        if (estimate <= 2.5 * m && zeros > 0)
            estimate = m * std::log(m / double(zeros)); // few values: count the empty registers
        const size_t records = hashes.size() - std::min(hashes.size(), size_t(std::max(first, 0)));
        return std::min(records, size_t(estimate * 1.05) + 16);
    }

    // Twice the slots, each group moved to its place there.
    void grow(const std::vector<size_t> &hashes)
    {
        std::vector<Group> old = std::move(m_groups);
        m_groups = largeArray(old.size() * 2, Group{});
        for (const Group &group : old) {
            if (group.head < 0)
                continue;
            size_t slot = home(hashes[size_t(group.head)]);
            while (m_groups[slot].head >= 0)
                slot = nextSlot(slot);
            m_groups[slot] = group;
        }
    }

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
