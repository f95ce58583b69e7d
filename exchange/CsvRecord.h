#pragma once

#include <QByteArray>

#include <vector>

// One record of a CSV file as the reader hands it out: its raw (still
// encoded) values, each a view into the bytes the reader was given, or, for a
// quoted value with doubled quotes, into the record's own buffer of the value
// with its quotes undoubled. Reading takes no allocation per value; what is
// kept must be copied (at()). Valid while the sink that gets it runs.
class CsvRecord
{
public:
    int size() const { return int(m_values.size()); }
    const char* data(int i) const
    {
        const Value& v = m_values[size_t(i)];
        return v.outside ? v.outside : m_own.constData() + v.begin;
    }
    int length(int i) const { return m_values[size_t(i)].length; }
    // A value of its own, for what is kept.
    QByteArray at(int i) const { return QByteArray(data(i), length(i)); }

    // For the reader.
    void clear()
    {
        if (!m_own.isEmpty())
            m_own.resize(0); // keeps its room for the next record
        m_values.clear();
    }
    // Bytes that stay as they are while the record is in use.
    void appendView(const char* value, int length) { m_values.push_back({value, 0, length}); }
    // The inside of a quoted value whose doubled quotes stand for one each.
    void appendUndoubled(const char* inside, int length, char quote)
    {
        const int begin = m_own.size();
        for (int i = 0; i < length; ++i) {
            m_own.append(inside[i]);
            if (inside[i] == quote)
                ++i; // its double
        }
        m_values.push_back({nullptr, begin, m_own.size() - begin});
    }

private:
    struct Value
    {
        const char* outside; // null: in m_own from begin
        int begin;
        int length;
    };

    QByteArray m_own;
    std::vector<Value> m_values;
};
