#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <vector>

// A pooled value is its own entry.
inline const QByteArray& valueOf(const QByteArray& value)
{
    return value;
}

// An open-addressed table of entries found by the bytes of a short value,
// without a copy of the bytes looked for: the one look-up of the value pools
// that let cells share a buffer. An entry is any type for which
// `const QByteArray& valueOf(const Entry&)` is found (a QByteArray itself is
// one); the marks lie in an array of their own, so that a probe reads the
// entries only where a mark matches.
template <typename Entry>
class ShortValueSlots
{
public:
    // The bytes' hash (FNV-1a), never 0: 0 marks a free slot.
    static uint32_t markOf(const char* data, int size)
    {
        uint32_t hash = 2166136261u;
        for (int i = 0; i < size; ++i)
            hash = (hash ^ uint8_t(data[i])) * 16777619u;
        return hash | 1u;
    }

    int count() const { return m_count; }

    const Entry* find(const char* data, int size, uint32_t mark) const
    {
        if (m_marks.empty())
            return nullptr;
        const size_t mask = m_marks.size() - 1;
        for (size_t i = mark & mask; m_marks[i] != 0; i = (i + 1) & mask) {
            if (m_marks[i] != mark)
                continue;
            const QByteArray& value = valueOf(m_entries[i]);
            if (value.size() == size && sameBytes(value.constData(), data, size))
                return &m_entries[i];
        }
        return nullptr;
    }

    // Of an entry whose value find() does not give.
    const Entry& insert(Entry entry, uint32_t mark)
    {
        // Slots stay at most half taken, so that a search ends soon.
        if (size_t(m_count + 1) * 2 > m_marks.size())
            grow();
        ++m_count;
        return place(std::move(entry), mark);
    }

private:
    // A loop of its own: the values are a few bytes, shorter than a call of memcmp.
    static bool sameBytes(const char* a, const char* b, int size)
    {
        for (int i = 0; i < size; ++i) {
            if (a[i] != b[i])
                return false;
        }
        return true;
    }

    void grow()
    {
        std::vector<uint32_t> marks(std::max<size_t>(64, m_marks.size() * 2), 0);
        std::vector<Entry> entries(marks.size());
        marks.swap(m_marks);
        entries.swap(m_entries);
        for (size_t i = 0; i < marks.size(); ++i) {
            if (marks[i] != 0)
                place(std::move(entries[i]), marks[i]);
        }
    }

    const Entry& place(Entry&& entry, uint32_t mark)
    {
        const size_t mask = m_marks.size() - 1;
        size_t i = mark & mask;
        while (m_marks[i] != 0)
            i = (i + 1) & mask;
        m_marks[i] = mark;
        m_entries[i] = std::move(entry);
        return m_entries[i];
    }

    int m_count = 0;
    std::vector<uint32_t> m_marks; // a power of two of slots
    std::vector<Entry> m_entries;  // beside their marks
};
