#pragma once

#include <QByteArray>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <vector>

// Lets equal short cell values of one read share one buffer (Qt's implicit
// sharing): tax codes, flags, zeros and row numbers repeat across thousands
// of rows, and a buffer of its own costs more than the cell itself. What the
// cells hold does not change.
class ValuePool
{
public:
    explicit ValuePool(int maxValues = 1 << 16) : m_maxValues(maxValues) {}

    // Values longer than this are never pooled.
    static constexpr int MaxPooledSize = 16;

    // Whether it takes no more values: a pool of values that hardly repeat.
    bool full() const { return m_count >= m_maxValues; }

    // The pooled copy of value, or value itself when it is long or the pool is full.
    QByteArray shared(const QByteArray& value)
    {
        if (value.size() > MaxPooledSize)
            return value;
        const uint32_t mark = markOf(value.constData(), value.size());
        if (const QByteArray* found = find(value.constData(), value.size(), mark))
            return *found;
        if (full())
            return value;
        // A pooled value keeps no spare capacity of its own.
        return insert(QByteArray(value.constData(), value.size()), mark);
    }

    // The same for bytes not in an array of their own: the result always owns
    // its bytes. A full pool still hands out what it holds: the flags and
    // codes that repeat are pooled early, and a lookup costs less than an
    // allocation.
    QByteArray shared(const char* data, int size)
    {
        if (size > MaxPooledSize)
            return QByteArray(data, size);
        const uint32_t mark = markOf(data, size);
        if (const QByteArray* found = find(data, size, mark))
            return *found;
        if (full())
            return QByteArray(data, size);
        return insert(QByteArray(data, size), mark);
    }

    // The bytes' hash (FNV-1a), never 0: 0 marks a free slot.
    static uint32_t markOf(const char* data, int size)
    {
        uint32_t hash = 2166136261u;
        for (int i = 0; i < size; ++i)
            hash = (hash ^ uint8_t(data[i])) * 16777619u;
        return hash | 1u;
    }

private:

    const QByteArray* find(const char* data, int size, uint32_t mark) const
    {
        if (m_marks.empty())
            return nullptr;
        const size_t mask = m_marks.size() - 1;
        for (size_t i = mark & mask; m_marks[i] != 0; i = (i + 1) & mask) {
            const QByteArray& value = m_values[i];
            if (m_marks[i] == mark && value.size() == size && std::memcmp(value.constData(), data, size_t(size)) == 0)
                return &value;
        }
        return nullptr;
    }

    QByteArray insert(const QByteArray& value, uint32_t mark)
    {
        // Slots stay at most half taken, so that a search ends soon.
        if (size_t(m_count + 1) * 2 > m_marks.size())
            grow();
        place(value, mark);
        ++m_count;
        return value;
    }

    void grow()
    {
        std::vector<uint32_t> marks(std::max<size_t>(64, m_marks.size() * 2), 0);
        std::vector<QByteArray> values(marks.size());
        marks.swap(m_marks);
        values.swap(m_values);
        for (size_t i = 0; i < marks.size(); ++i) {
            if (marks[i] != 0)
                place(values[i], marks[i]);
        }
    }

    void place(const QByteArray& value, uint32_t mark)
    {
        const size_t mask = m_marks.size() - 1;
        size_t i = mark & mask;
        while (m_marks[i] != 0)
            i = (i + 1) & mask;
        m_marks[i] = mark;
        m_values[i] = value;
    }

    int m_maxValues;
    int m_count = 0;
    std::vector<uint32_t> m_marks;    // a power of two of slots
    std::vector<QByteArray> m_values; // beside their marks
};
