#pragma once

#include "common/ShortValueSlots.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// The short values of one imported column, each checked once and kept in one
// buffer that the cells holding it share (Qt's implicit sharing): prices,
// taxes and departments repeat across thousands of rows. A value met again is
// found with one look-up that gives both its buffer and its reason. A column
// whose values hardly repeat (names, codes, barcodes) soon fills it, and from
// then on each value is copied and checked on its own, without a look-up.
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
        if (size > MaxKeptSize || m_known.count() >= m_maxValues) {
            QByteArray value(data, size);
            reason = reasonOf(value);
            return value;
        }
        const uint32_t mark = Slots::markOf(data, size);
        if (const Known* found = m_known.find(data, size, mark)) {
            if (!reason.isEmpty() || !found->reason.isEmpty())
                reason = found->reason;
            return found->value;
        }
        QByteArray value(data, size);
        reason = reasonOf(value);
        m_known.insert(Known{value, reason}, mark);
        return value;
    }

private:
    struct Known
    {
        QByteArray value;
        QString reason;

        friend const QByteArray& valueOf(const Known& known) { return known.value; }
    };
    using Slots = ShortValueSlots<Known>;

    int m_maxValues;
    Slots m_known;
};
