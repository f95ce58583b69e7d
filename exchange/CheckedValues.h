#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// The short values of one imported column, each checked once and kept in one
// buffer that the cells holding it share (Qt's implicit sharing): prices,
// taxes and departments repeat across thousands of rows. A value met again is
// found with one look-up that gives both its buffer and its reason. A column
// whose values hardly repeat (names, codes, barcodes) soon fills it, and from
// then on each value is copied and checked on its own.
class CheckedValues
{
public:
    explicit CheckedValues(int maxValues) : m_maxValues(maxValues) {}

    // Values longer than this are never kept.
    static constexpr int MaxKeptSize = 16;

    // The value of the bytes as a cell keeps it, always owning its bytes, and
    // in reason what reasonOf(value) gave for it (empty: it may be stored).
    template <typename ReasonOf>
    QByteArray take(const char* data, int size, QString& reason, const ReasonOf& reasonOf)
    {
        if (size > MaxKeptSize || m_known.size() >= m_maxValues) {
            QByteArray value(data, size);
            reason = reasonOf(value);
            return value;
        }
        // Looked up through one raw array kept for it, which points at the
        // bytes without a copy or an allocation of its own.
        m_probe.setRawData(data, uint(size));
        const auto found = m_known.constFind(m_probe);
        if (found != m_known.constEnd()) {
            reason = found.value();
            return found.key();
        }
        QByteArray value(data, size);
        reason = reasonOf(value);
        m_known.insert(value, reason);
        return value;
    }

private:
    int m_maxValues;
    QHash<QByteArray, QString> m_known;
    QByteArray m_probe;
};
