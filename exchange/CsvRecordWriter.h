#pragma once

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <vector>

// Turns values (already encoded bytes) into one CSV record line ended by "\n".
class CsvRecordWriter
{
public:
    explicit CsvRecordWriter(char separator) : m_separator(separator) {}

    // Every value enclosed in double quotes, quotes inside doubled.
    QByteArray quotedRecord(const QList<QByteArray>& values) const;
    // The bytes of a file built record by record, value by value, without a
    // copy per value.
    class Buffer
    {
    public:
        const char* data() const { return m_bytes.data(); }
        qint64 size() const { return qint64(m_used); }
        // Room for n more bytes at the end; commit(k) keeps k of them.
        char* room(size_t n)
        {
            if (m_bytes.size() - m_used < n)
                grow(n);
            return m_bytes.data() + m_used;
        }
        void commit(size_t k) { m_used += k; }
        // Room for n bytes in all, made at once.
        void reserve(size_t n) { m_bytes.resize(std::max(m_bytes.size(), n)); }
        // Empty again, keeping the room it has.
        void clear() { m_used = 0; }

    private:
        void grow(size_t n);

        std::vector<char> m_bytes;
        size_t m_used = 0;
    };

    void appendBare(Buffer& out, const QByteArray& value) const;
    // One value of a record, quoted; the separator before all but the first.
    void appendQuoted(Buffer& out, const QByteArray& value, bool first) const
    {
        appendQuoted(out, value.constData(), size_t(value.size()), first);
    }
    void appendQuoted(Buffer& out, const char* value, size_t size, bool first) const;
    // The value in double quotes, quotes inside doubled, written at `at`
    // (room for size * 2 + 2 bytes): where it ends.
    static char* writeQuoted(char* at, const char* value, size_t size);
    void endRecord(Buffer& out) const;

    // One bare value, enclosed only when it holds the separator, CR or LF.
    QByteArray bareRecord(const QByteArray& value) const;

private:
    static QByteArray quoted(const QByteArray& value);

    char m_separator;
};
