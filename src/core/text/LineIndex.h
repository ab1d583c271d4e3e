#pragma once

#include <vector>

#include <QByteArrayView>
#include <QtGlobal>

#include "engine/Progress.h"

// Where the lines of a text start, as a pane shows them: a line ends at a CR
// LF, a lone CR or a lone LF. Built once, off the window's thread, for the
// bytes a file loads into.
namespace LineIndex {

// Ascending offsets, 4 bytes each from a base every 4,096: a text of any
// size can be indexed, in half the memory of 8-byte offsets. A block whose
// lines span 4 GiB or more (lines of a megabyte on average) keeps its
// offsets whole.
class Starts
{
public:
    Starts() = default;
    explicit Starts(const std::vector<qint64> &ascending);

    qint64 size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    qint64 operator[](qint64 i) const
    {
        const Block &block = m_blocks[size_t(i >> kBlockBits)];
        return block.wide < 0 ? block.base + m_low[size_t(i)]
                              : m_wide[size_t(block.wide) + size_t(i & kBlockMask)];
    }
    // The index of the first start after `position`, from `from` on.
    qint64 upperBound(qint64 position, qint64 from = 0) const;
    // Adds a start no smaller than the last.
    void push_back(qint64 start);
    void clear();
    bool operator==(const Starts &other) const;
    // The memory the index holds.
    qint64 bytes() const
    {
        return qint64(m_low.capacity() * sizeof(quint32) + m_blocks.capacity() * sizeof(Block)
                      + m_wide.capacity() * sizeof(qint64));
    }

private:
    static constexpr int kBlockBits = 12;
    static constexpr qint64 kBlockMask = (qint64(1) << kBlockBits) - 1;
    struct Block
    {
        qint64 base; // the block's first start
        qint64 wide; // where its whole offsets stand in m_wide, or -1
    };
    std::vector<quint32> m_low; // from the block's base
    std::vector<Block> m_blocks;
    std::vector<qint64> m_wide;
    qint64 m_size = 0;
};

// The offsets p with 0 < p < bytes.size() at which a line starts: after an
// LF, or after a CR that no LF follows. A break at the very end starts no
// line here, since what follows it is not known (see TextBuffer). A large
// text is indexed on two cores. Adds bytes.size() to the done count of
// `progress` as it goes; returns nothing once the progress is cancelled.
Starts build(QByteArrayView bytes, Compare::Progress *progress = nullptr);

// How many starts build() gives, counted without keeping them.
qint64 count(QByteArrayView bytes);

// Adds the starts of bytes[from, bytes.size()) to `starts`, which holds the
// starts of bytes[0, from) as build() gives them: for a text that grows at
// its end.
void extend(Starts &starts, QByteArrayView bytes, qint64 from);

} // namespace LineIndex
