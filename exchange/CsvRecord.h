#pragma once

#include <QByteArray>

#include <vector>

// One record of a CSV file as the reader hands it out: its raw (still
// encoded) values lie one after another in a buffer of the reader's, so that
// reading takes no allocation per value. Valid while the sink that gets it runs.
class CsvRecord
{
public:
    int size() const { return int(m_ends.size()); }
    const char* data(int i) const { return m_bytes.constData() + begin(i); }
    int length(int i) const { return m_ends[size_t(i)] - begin(i); }
    // A value of its own, for what is kept.
    QByteArray at(int i) const { return QByteArray(data(i), length(i)); }

    // For the reader.
    void clear()
    {
        m_bytes.resize(0); // keeps its room for the next record
        m_ends.clear();
    }
    void append(const char* value, int length)
    {
        m_bytes.append(value, length);
        m_ends.push_back(m_bytes.size());
    }
    void reserve(int bytes) { m_bytes.reserve(bytes); }

private:
    int begin(int i) const { return i == 0 ? 0 : m_ends[size_t(i - 1)]; }

    QByteArray m_bytes;
    std::vector<int> m_ends; // where each value ends in m_bytes
};
