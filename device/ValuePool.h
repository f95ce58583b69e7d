#pragma once

#include <QByteArray>
#include <QSet>

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
    bool full() const { return m_values.size() >= m_maxValues; }

    // The pooled copy of value, or value itself when it is long or the pool is full.
    QByteArray shared(const QByteArray& value)
    {
        if (value.size() > MaxPooledSize)
            return value;
        const auto found = m_values.constFind(value);
        if (found != m_values.constEnd())
            return *found;
        if (full())
            return value;
        // A pooled value keeps no spare capacity of its own.
        QByteArray exact(value.constData(), value.size());
        m_values.insert(exact);
        return exact;
    }

    // The same for bytes not in an array of their own: the result always owns its bytes.
    QByteArray shared(const char* data, int size)
    {
        if (size > MaxPooledSize)
            return QByteArray(data, size);
        // The bytes are looked up through one raw array kept for it, which
        // points at them without a copy or an allocation of its own. A full
        // pool still hands out what it holds: the flags and codes that repeat
        // are pooled early, and a lookup costs less than an allocation.
        m_probe.setRawData(data, uint(size));
        const auto found = m_values.constFind(m_probe);
        if (found != m_values.constEnd())
            return *found;
        if (full())
            return QByteArray(data, size);
        QByteArray exact(data, size);
        m_values.insert(exact);
        return exact;
    }

private:
    int m_maxValues;
    QSet<QByteArray> m_values;
    QByteArray m_probe;
};
