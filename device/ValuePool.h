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
    // The pooled copy of value, or value itself when it is long or the pool is full.
    QByteArray shared(const QByteArray& value)
    {
        if (value.size() > MaxPooledSize)
            return value;
        const auto found = m_values.constFind(value);
        if (found != m_values.constEnd())
            return *found;
        if (m_values.size() >= MaxValues)
            return value;
        // A pooled value keeps no spare capacity of its own.
        QByteArray exact(value.constData(), value.size());
        m_values.insert(exact);
        return exact;
    }

private:
    static constexpr int MaxPooledSize = 16;
    static constexpr int MaxValues = 1 << 16;

    QSet<QByteArray> m_values;
};
