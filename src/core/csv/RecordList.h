#pragma once

#include <cstddef>
#include <iterator>
#include <vector>

#include <QtGlobal>

namespace Csv {

// Records of one file in rising order, kept as the gaps between them, seven
// bits a byte: one byte a record while they lie within 128 of each other, as
// the rows of a key repeated through a file mostly do, five at most. A key
// shared by ten million one-byte rows then costs about its rows' bytes.
class RecordList
{
public:
    class const_iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = qint32;
        using difference_type = std::ptrdiff_t;
        using pointer = const qint32 *;
        using reference = qint32;

        const_iterator() = default;
        qint32 operator*() const { return m_value; }
        const_iterator &operator++()
        {
            m_at = m_after;
            read(m_value);
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const const_iterator &other) const { return m_at == other.m_at; }

    private:
        friend class RecordList;
        const_iterator(const quint8 *at, const quint8 *end) : m_at(at), m_end(end) { read(-1); }
        // Decodes the record at m_at, which follows `before`.
        void read(qint32 before)
        {
            if (m_at == m_end)
                return;
            quint32 gap = 0;
            int shift = 0;
            const quint8 *p = m_at;
            for (;; shift += 7) {
                const quint8 byte = *p++;
                gap |= quint32(byte & 0x7F) << shift;
                if (!(byte & 0x80))
                    break;
            }
            m_after = p;
            m_value = qint32(quint32(before) + 1 + gap);
        }
        const quint8 *m_at = nullptr; // the current record's code; m_end: past the last
        const quint8 *m_after = nullptr;
        const quint8 *m_end = nullptr;
        qint32 m_value = -1;
    };
    using value_type = qint32;

    RecordList() = default;
    RecordList(std::initializer_list<qint32> records)
    {
        for (const qint32 r : records)
            push_back(r);
    }

    // The bytes `record` takes after `last` (-1: it is the first).
    static size_t codeSize(qint32 last, qint32 record)
    {
        size_t bytes = 1;
        for (quint32 gap = quint32(record) - quint32(last) - 1; gap >= 0x80; gap >>= 7)
            ++bytes;
        return bytes;
    }
    // Room for records whose codeSize adds up to `bytes`.
    void reserveBytes(size_t bytes) { m_codes.reserve(bytes); }
    // Appends a record after the last one, which it must follow.
    void push_back(qint32 record)
    {
        Q_ASSERT(record > m_last);
        for (quint32 gap = quint32(record) - quint32(m_last) - 1;; gap >>= 7) {
            if (gap < 0x80) {
                m_codes.push_back(quint8(gap));
                break;
            }
            m_codes.push_back(quint8(0x80 | (gap & 0x7F)));
        }
        if (m_count == 0)
            m_first = record;
        m_last = record;
        ++m_count;
    }

    size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    qint32 front() const { return m_first; }
    qint32 back() const { return m_last; }
    const_iterator begin() const { return {m_codes.data(), m_codes.data() + m_codes.size()}; }
    const_iterator end() const
    {
        const quint8 *end = m_codes.data() + m_codes.size();
        return {end, end};
    }
    bool operator==(const RecordList &other) const
    {
        return m_count == other.m_count && m_codes == other.m_codes;
    }

private:
    std::vector<quint8> m_codes;
    size_t m_count = 0;
    qint32 m_first = -1;
    qint32 m_last = -1;
};

} // namespace Csv
