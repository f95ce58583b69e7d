#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstring>
#include <vector>

class QTextCodec;

// Standard output and standard error as text in the locale's encoding.
// Standard output is gathered and written 64 KiB at a time, before anything
// goes to standard error, and at the end; standard error at once, but for the
// lines of out() that keepOutputForData() sends there, gathered as standard
// output's are.
// Every write is checked: the first that fails is kept (failureText()), and
// the stream it failed on takes nothing more.
class Console
{
public:
    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // One line on standard output / standard error. Control characters that a
    // file or a journal brought in are shown escaped.
    void out(const QString& line);
    void err(const QString& line);
    // A line of UTF-8 text on standard output: its bytes as they are when
    // nothing in it needs escaping or converting, else as out() shows it.
    void outUtf8(const QByteArray& line) { outUtf8(line.constData(), line.size()); }
    void outUtf8(const char* line, qint64 size);
    // The same for a line the caller knows PrintableText::isPrintable of:
    // its bytes as they are, unless the locale's encoding is another.
    void outPrintableUtf8(const QByteArray& line) { outPrintableUtf8(line.constData(), line.size()); }
    void outPrintableUtf8(const char* line, qint64 size)
    {
        // The usual case of a long listing, copied here where it is called.
        if (m_utf8 && !m_outToErr && m_outSize + size_t(size) < m_out.size()) {
            std::memcpy(m_out.data() + m_outSize, line, size_t(size));
            m_outSize += size_t(size);
            m_out[m_outSize++] = '\n';
            if (m_outSize >= FlushSize)
                flush();
            return;
        }
        outPrintableUtf8Slow(line, size);
    }

    // From now on the lines of out() and outUtf8() go to standard error: standard output
    // carries only what data() writes (a command's --json report).
    void keepOutputForData();
    // Bytes as they are on standard output, then a line end; flushed at once.
    void data(const QByteArray& bytes);
    // Bytes as they are on standard output, a part of what data() ends;
    // gathered as out()'s lines are.
    void dataPart(const QByteArray& bytes);

    // Writes what standard output has gathered.
    void flush();

    // Flushes, then whether a write to either stream failed.
    bool failed();
    // What failed and the system's reason, e.g. "Не удалось записать на
    // стандартный вывод: нет места на устройстве"; empty while nothing did.
    QString failureText() const;
    // Ends the program's run: a failed write is told on standard error (when
    // that still takes it) and makes the status 3, else status stays.
    int finish(int status);

private:
    // Standard output is written when this much has gathered.
    static constexpr size_t FlushSize = 64 * 1024;

    // outPrintableUtf8 of a line that is converted, or goes to standard
    // error, or outgrows the room gathered.
    void outPrintableUtf8Slow(const char* line, qint64 size);
    // Gathers the bytes, a line end after them when asked.
    void append(const char* bytes, size_t size, bool lineEnd = true);
    // Gathers a line of out() for standard error.
    void appendToErr(const char* line, size_t size);
    // Writes and flushes; false (the reason kept) when the stream failed.
    bool write(std::FILE* stream, const char* bytes, size_t size);
    bool write(std::FILE* stream, const QByteArray& bytes) { return write(stream, bytes.constData(), size_t(bytes.size())); }

    QTextCodec* m_codec;
    bool m_utf8;
    // What standard output has gathered: its first m_outSize bytes.
    std::vector<char> m_out;
    size_t m_outSize = 0;
    QByteArray m_outOnErr;
    bool m_outToErr = false;
    std::FILE* m_failedStream = nullptr;
    int m_failure = 0;
};
