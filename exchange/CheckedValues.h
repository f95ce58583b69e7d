#pragma once

#include "device/ValuePool.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <vector>

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
        if (size > MaxKeptSize || m_count >= m_maxValues) {
            QByteArray value(data, size);
            reason = reasonOf(value);
            return value;
        }
        const uint32_t mark = ValuePool::markOf(data, size);
        if (const Known* found = find(data, size, mark)) {
            if (!reason.isEmpty() || !found->reason.isEmpty())
                reason = found->reason;
            return found->value;
        }
        QByteArray value(data, size);
        reason = reasonOf(value);
        insert(Known{mark, value, reason});
        return value;
    }

private:
    // A slot of the open-addressed table: a mark of 0 is a free one.
    struct Known
    {
        uint32_t mark = 0;
        QByteArray value;
        QString reason;
    };

    const Known* find(const char* data, int size, uint32_t mark) const
    {
        if (m_slots.empty())
            return nullptr;
        const size_t mask = m_slots.size() - 1;
        for (size_t i = mark & mask; m_slots[i].mark != 0; i = (i + 1) & mask) {
            const Known& known = m_slots[i];
            if (known.mark == mark && known.value.size() == size && sameBytes(known.value.constData(), data, size))
                return &known;
        }
        return nullptr;
    }

    // A loop of its own: the values are a few bytes, shorter than a call of memcmp.
    static bool sameBytes(const char* a, const char* b, int size)
    {
        for (int i = 0; i < size; ++i) {
            if (a[i] != b[i])
                return false;
        }
        return true;
    }

    void insert(Known&& known)
    {
        // Slots stay at most half taken, so that a search ends soon.
        if (size_t(m_count + 1) * 2 > m_slots.size()) {
            std::vector<Known> slots(std::max<size_t>(64, m_slots.size() * 2));
            slots.swap(m_slots);
            for (Known& old : slots) {
                if (old.mark != 0)
                    place(std::move(old));
            }
        }
        place(std::move(known));
        ++m_count;
    }

    void place(Known&& known)
    {
        const size_t mask = m_slots.size() - 1;
        size_t i = known.mark & mask;
        while (m_slots[i].mark != 0)
            i = (i + 1) & mask;
        m_slots[i] = std::move(known);
    }

    int m_maxValues;
    int m_count = 0;
    std::vector<Known> m_slots; // a power of two of them
};
