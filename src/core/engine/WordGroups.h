#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include <QHashFunctions>
#include <QtGlobal>

#include "engine/LineHash.h"

namespace Compare {

// Where each word of a long line stands, grouped by word: an open table from
// a word's hash to its group, and each group's places in ascending order.
// `Index`, unsigned, holds places and group numbers: for a line of fewer
// than 2^31 words, 8 bytes a word (half of them only while it is built) and
// 20 to 32 a distinct word, beside the words themselves, which stay with the
// caller: find() is passed the same list.
template <typename View, typename Index>
class WordGroups
{
public:
    void build(const std::vector<View> &words)
    {
        const size_t n = words.size();
        // Room for a few groups first, doubled as they come: a line of one
        // word repeated costs no slot a word.
        m_slots.assign(64, Slot{});
        m_mask = m_slots.size() - 1;
        m_groupStart.clear();
        std::vector<Index> groupOfWord(n);
        std::vector<Index> firstOfGroup;
        for (size_t at = 0; at < n; ++at) {
            const std::uint64_t hash = hashOf(words[at]);
            Slot *slot = findSlot(words, hash, words[at], firstOfGroup);
            if (slot->groupPlusOne == 0 && (firstOfGroup.size() + 1) * 3 > m_slots.size() * 2) {
                grow(words, firstOfGroup); // at most two thirds full: short probes
                slot = findSlot(words, hash, words[at], firstOfGroup);
            }
            if (slot->groupPlusOne == 0) {
                *slot = Slot{tagOf(hash), Index(firstOfGroup.size() + 1)};
                firstOfGroup.push_back(Index(at));
                m_groupStart.push_back(0);
            }
            groupOfWord[at] = slot->groupPlusOne - 1;
            ++m_groupStart[groupOfWord[at]];
        }
        // Counts to starting offsets, then fill each group in order.
        Index offset = 0;
        for (Index &start : m_groupStart) {
            const Index count = start;
            start = offset;
            offset += count;
        }
        m_groupStart.push_back(offset);
        m_positions.assign(n, 0);
        std::vector<Index> &next = firstOfGroup; // reused: its words are found
        next.assign(m_groupStart.begin(), m_groupStart.end() - 1);
        for (size_t at = 0; at < n; ++at)
            m_positions[next[groupOfWord[at]]++] = Index(at);
    }

    // The first place in [from, end) that holds `word`, or -1.
    qsizetype find(const std::vector<View> &words, View word, qsizetype from, qsizetype end) const
    {
        const std::uint64_t hash = hashOf(word);
        const Index tag = tagOf(hash);
        for (size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
            const Slot &slot = m_slots[i];
            if (slot.groupPlusOne == 0)
                return -1;
            const Index group = slot.groupPlusOne - 1;
            const auto first = m_positions.begin() + std::ptrdiff_t(m_groupStart[group]);
            if (slot.tag != tag || words[*first] != word)
                continue;
            const auto last = m_positions.begin() + std::ptrdiff_t(m_groupStart[group + 1]);
            const auto hit = std::lower_bound(first, last, Index(from));
            return hit != last && qsizetype(*hit) < end ? qsizetype(*hit) : -1;
        }
    }

    static bool fits(size_t words) { return words < std::numeric_limits<Index>::max() / 2; }

private:
    struct Slot
    {
        Index tag = 0;          // more bits of the hash, to pass over most others unread
        Index groupPlusOne = 0; // 0: empty
    };

    std::uint64_t hashOf(View word) const
    {
        return LineHash::hash(word.data(), size_t(word.size()) * sizeof(*word.data()), m_seed);
    }
    static Index tagOf(std::uint64_t hash) { return Index(hash >> 32); }

    // Twice the slots, each group placed anew by its first word's hash.
    void grow(const std::vector<View> &words, const std::vector<Index> &firstOfGroup)
    {
        m_slots.assign(m_slots.size() * 2, Slot{});
        m_mask = m_slots.size() - 1;
        for (size_t group = 0; group < firstOfGroup.size(); ++group) {
            const std::uint64_t hash = hashOf(words[firstOfGroup[group]]);
            size_t i = hash & m_mask;
            while (m_slots[i].groupPlusOne != 0)
                i = (i + 1) & m_mask;
            m_slots[i] = Slot{tagOf(hash), Index(group + 1)};
        }
    }

    Slot *findSlot(const std::vector<View> &words, std::uint64_t hash, View word,
                   const std::vector<Index> &firstOfGroup)
    {
        const Index tag = tagOf(hash);
        for (size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
            Slot &slot = m_slots[i];
            if (slot.groupPlusOne == 0
                || (slot.tag == tag && words[firstOfGroup[slot.groupPlusOne - 1]] == word))
                return &slot;
        }
    }

    const std::uint64_t m_seed = LineHash::prepareSeed(QHashSeed::globalSeed());
    std::vector<Slot> m_slots;
    size_t m_mask = 0;
    std::vector<Index> m_groupStart; // group g's places: m_positions[start[g], start[g + 1])
    std::vector<Index> m_positions;
};

} // namespace Compare
