#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <vector>

#include <QtGlobal>

#include "csv/LargeArrays.h"

namespace Csv {

// A record's hash as an index keeps it: 32 bits are plenty to tell the
// groups of two billion records apart in a probe of a few slots, and half
// the memory of a full-width one a record.
using RowHash = quint32;
inline RowHash narrowHash(size_t hash)
{
    const quint64 wide = quint64(hash) * 0x9E3779B97F4A7C15ull;
    return RowHash(wide >> 32);
}

// Groups the records of one table that are equal under some rule (same key,
// or same row), by their hash: open addressing, each group a chain of its
// records in file order. Linear in the number of records; beyond its groups,
// five bytes a record (the chain's link and a role byte), so that a file of
// one-byte rows costs a small multiple of its size. Its arrays are in
// ordinary pages, though the groups and roles are read at random: where the
// first touch of a fresh large page is slow (a virtual machine, 0.2 GB/s),
// clearing the groups of ten million records took the table window half a
// second at every Compare, more than the address cache saved in the lookups.
class RowIndex
{
public:
    struct Group
    {
        RowHash tag = 0;  // the whole hash (its high bits pick the slot)
        qint32 head = -1; // first record of the group; -1: free slot
    };
    // What a record is in its group, and marks a comparison leaves on it.
    enum Role : quint8 {
        Head = 1,    // the first record of its group
        Many = 2,    // its group has more than one record
        Matched = 4, // (a head) the other file has the group's rows
        Listed = 8,  // (any) the comparison lists it as added or removed
        Twice = 16,  // (a head) more than one row of the other file has the group's rows
    };

    // Groups records [first, records): hashOf(r) is record r's hash, and
    // same(a, b) tells whether two records with equal hashes belong together;
    // tick(1) is called twice a record, and tick(0) (a look for Cancel, no
    // step counted) while memory is filled and roles are set. Each hash
    // waits in the place of its record's link until the record is linked, so
    // that the index costs five bytes a record at its peak too. A record's
    // hash is asked for once, but for the few that head their group when the
    // index grows. Without `roles`, none are kept (see clearRoles).
    template <typename HashOf, typename Same, typename Tick>
    void build(size_t records, qint32 first, HashOf &&hashOf, Same &&same, Tick &&tick,
               bool roles = true)
    {
        buildOf([](qint32) { return true; }, records, first, hashOf, same, tick, roles);
    }

    // The same for the records of [first, records) that keep(r): the
    // others belong to no group, and their role is 0.
    template <typename Keep, typename HashOf, typename Same, typename Tick>
    void buildOf(Keep &&keep, size_t records, qint32 first, HashOf &&hashOf, Same &&same,
                 Tick &&tick, bool roles = true)
    {
        const size_t from = size_t(std::max(first, 0));
        const auto look = [&tick] { tick(0); };
        m_next = filledArray(records, qint32(-1), look); // written and read in order
        DistinctCount distinct;
        for (size_t r = from; r < records; ++r) {
            tick(1);
            if (!keep(qint32(r)))
                continue;
            const RowHash hash = hashOf(qint32(r));
            m_next[r] = qint32(hash);
            distinct.add(hash);
        }
        // Room for the groups there will likely be, three quarters full at
        // most: short probes, and a file of one key repeated costs no slot
        // a row. Grown should the guess fall short.
        m_groups = filledArray(capacityFor(distinct.estimate(records - std::min(records, from))),
                               Group{}, look);
        size_t used = 0;
        // Backwards, so that each chain ends up in file order; the records
        // before r still hold their hashes.
        constexpr qint32 kAhead = 8; // slots fetched ahead of their use
        for (qint32 r = qint32(records) - 1; r >= first; --r) {
            if (r - kAhead >= first)
                __builtin_prefetch(&m_groups[home(RowHash(m_next[size_t(r - kAhead)]))]);
            tick(1);
            if (!keep(r))
                continue;
            const RowHash hash = RowHash(m_next[size_t(r)]);
            m_next[size_t(r)] = -1;
            const RowHash tag = tagOf(hash);
            for (size_t slot = home(hash);; slot = nextSlot(slot)) {
                Group &group = m_groups[slot];
                if (group.head < 0) {
                    group = {tag, r};
                    if (++used * 4 > m_groups.size() * 3)
                        grow(hashOf);
                    break;
                }
                if (group.tag == tag && same(group.head, r)) {
                    m_next[size_t(r)] = group.head;
                    group.head = r;
                    break;
                }
            }
        }
        if (!roles)
            return;
        // A look every so many steps: a Cancel is seen within these passes too.
        constexpr size_t kStepsPerTick = size_t(1) << 16;
        m_roles = filledArray(records, quint8(0), look);
        for (size_t slot = 0; slot < m_groups.size(); ++slot) {
            if (slot % kStepsPerTick == 0)
                look();
            if (m_groups[slot].head >= 0)
                m_roles[size_t(m_groups[slot].head)] = Head;
        }
        for (size_t r = from; r < records; ++r) {
            if (r % kStepsPerTick == 0)
                look();
            if (m_next[r] >= 0) {
                m_roles[r] |= Many;
                m_roles[size_t(m_next[r])] |= Many;
            }
        }
    }

    // The group whose records `matches(record)`, or -1.
    template <typename Matches>
    qint32 find(RowHash hash, Matches &&matches) const
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
    void prefetch(RowHash hash) const
    {
        if (!m_groups.empty())
            __builtin_prefetch(&m_groups[home(hash)]);
    }
    // Hints that the role of `record` will soon be read or marked.
    void prefetchRole(qint32 record) const
    {
        if (!m_roles.empty())
            __builtin_prefetch(&m_roles[size_t(record)]);
    }
    // The first record of the group find(hash) most likely returns, or -1.
    qint32 likelyHead(RowHash hash) const
    {
        return m_groups.empty() ? -1 : m_groups[home(hash)].head;
    }

    const Group &group(qint32 slot) const { return m_groups[size_t(slot)]; }
    // The record after `record` in its group, or -1.
    qint32 next(qint32 record) const { return m_next[size_t(record)]; }
    size_t slotCount() const { return m_groups.size(); }
    // Safe while other threads mark().
    quint8 role(qint32 record) const
    {
        return std::atomic_ref<quint8>(m_roles[size_t(record)]).load(std::memory_order_relaxed);
    }
    bool single(qint32 record) const { return !(role(record) & Many); }
    // Leaves a mark on a record; safe from several threads at once, and a
    // mark already there costs no write.
    void mark(qint32 record, Role mark) const
    {
        std::atomic_ref<quint8> role(m_roles[size_t(record)]);
        if (!(role.load(std::memory_order_relaxed) & mark))
            role.fetch_or(mark, std::memory_order_relaxed);
    }
    // Leaves a mark on a record and gives its role before: of several
    // threads marking one record at once, exactly one sees it unmarked.
    quint8 markOnce(qint32 record, Role mark) const
    {
        return std::atomic_ref<quint8>(m_roles[size_t(record)])
            .fetch_or(mark, std::memory_order_relaxed);
    }
    // The marks of a comparison cleared from every record, what it is in its
    // group kept: for an index that another comparison uses again.
    void clearMarks()
    {
        for (quint8 &role : m_roles)
            role &= Head | Many;
    }
    // Every record's role cleared: for an index built without roles whose
    // records are to be marked from here on.
    void clearRoles(size_t records)
    {
        m_roles = filledArray(records, quint8(0), [] {});
    }
    // Frees what the index holds.
    void clear() { *this = RowIndex(); }
    // Frees the groups, keeping each record's role and link: for an index
    // that is walked from its records on, never searched again.
    void dropGroups() { m_groups = std::vector<Group>(); }
    // Frees the roles, keeping the links: for an index whose groups are
    // only walked from here on.
    void dropRoles() { m_roles = std::vector<quint8>(); }
    // Frees all but the roles: for an index whose marks alone are read from
    // here on.
    void dropLinks()
    {
        m_groups = std::vector<Group>();
        m_next = std::vector<qint32>();
    }

private:
    static size_t capacityFor(size_t groups)
    {
        return std::max<size_t>(16, groups + groups / 3 + 1);
    }

    // How many distinct hashes there are, within a few per cent (a
    // HyperLogLog count: 4 KiB, one pass), a little over rather than under.
    class DistinctCount
    {
    public:
        void add(RowHash hash)
        {
            const quint32 rest = hash << kBits;
            const quint8 rank = quint8(rest == 0 ? 32 - kBits + 1 : __builtin_clz(rest) + 1);
            quint8 &reg = m_registers[size_t(hash >> (32 - kBits))];
            reg = std::max(reg, rank);
        }
        // Of `added` hashes.
        size_t estimate(size_t added) const
        {
            double sum = 0;
            size_t zeros = 0;
            for (const quint8 reg : m_registers) {
                sum += 1.0 / double(quint64(1) << reg);
                zeros += reg == 0 ? 1 : 0;
            }
            const double m = double(kRegisters);
            double estimate = 0.7213 / (1 + 1.079 / m) * m * m / sum;
            if (estimate <= 2.5 * m && zeros > 0)
                estimate = m * std::log(m / double(zeros)); // few values: count the empty registers
            return std::min(added, size_t(estimate * 1.05) + 16);
        }

    private:
        static constexpr int kBits = 12;
        static constexpr size_t kRegisters = size_t(1) << kBits;
        std::vector<quint8> m_registers = std::vector<quint8>(kRegisters, 0);
    };

    // Twice the slots, each group moved to its place there.
    template <typename HashOf>
    void grow(HashOf &&hashOf)
    {
        std::vector<Group> old = std::move(m_groups);
        m_groups = filledArray(old.size() * 2, Group{}, [] {});
        for (const Group &group : old) {
            if (group.head < 0)
                continue;
            size_t slot = home(hashOf(group.head));
            while (m_groups[slot].head >= 0)
                slot = nextSlot(slot);
            m_groups[slot] = group;
        }
    }

    static RowHash tagOf(RowHash hash) { return hash; }
    // The slot a hash starts from: the hash scaled to the capacity.
    size_t home(RowHash hash) const { return size_t(quint64(hash) * m_groups.size() >> 32); }
    size_t nextSlot(size_t slot) const { return slot + 1 == m_groups.size() ? 0 : slot + 1; }

    std::vector<Group> m_groups;
    std::vector<qint32> m_next;
    mutable std::vector<quint8> m_roles;
};

} // namespace Csv
