#pragma once

#include "common/ShortValueSlots.h"

#include <QByteArray>

#include <cstdint>

// Lets equal short cell values of one read share one buffer (Qt's implicit
// sharing): tax codes, flags, zeros and row numbers repeat across thousands
// of rows, and a buffer of its own costs more than the cell itself. What the
// cells hold does not change.
class ValuePool
{
public:
    // A few thousand values hold what repeats, and their slots stay in the
    // processor's cache: a pool grown to the size of a large table (its
    // barcodes, say) costs a miss of the cache at every look-up.
    explicit ValuePool(int maxValues = 1 << 12) : m_maxValues(maxValues) {}

    // Values longer than this are never pooled.
    static constexpr int MaxPooledSize = 16;

    // Whether it takes no more values: a pool of values that hardly repeat.
    bool full() const { return m_slots.count() >= m_maxValues; }

    // The pooled copy of value, or value itself when it is long or the pool is full.
    QByteArray shared(const QByteArray& value)
    {
        if (value.size() > MaxPooledSize)
            return value;
        const uint32_t mark = Slots::markOf(value.constData(), value.size());
        if (const QByteArray* found = m_slots.find(value.constData(), value.size(), mark))
            return *found;
        if (full())
            return value;
        // A pooled value keeps no spare capacity of its own.
        return m_slots.insert(QByteArray(value.constData(), value.size()), mark);
    }

    // The same for bytes not in an array of their own: the result always owns
    // its bytes. A full pool still hands out what it holds: the flags and
    // codes that repeat are pooled early, and a lookup costs less than an
    // allocation.
    QByteArray shared(const char* data, int size)
    {
        if (size > MaxPooledSize)
            return QByteArray(data, size);
        const uint32_t mark = Slots::markOf(data, size);
        if (const QByteArray* found = m_slots.find(data, size, mark))
            return *found;
        if (full())
            return QByteArray(data, size);
        return m_slots.insert(QByteArray(data, size), mark);
    }

private:
    using Slots = ShortValueSlots<QByteArray>;

    int m_maxValues;
    Slots m_slots;
};
