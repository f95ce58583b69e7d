#pragma once

#include <QByteArray>
#include <QString>
#include <QTextStream>

class QTextCodec;

// Standard output and standard error as text in the locale's encoding.
// Standard output is gathered and written 64 KiB at a time, before anything
// goes to standard error, and at the end; standard error at once.
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
    void outUtf8(const QByteArray& line);

    // From now on the lines of out() go to standard error: standard output
    // carries only what data() writes (a command's --json report).
    void keepOutputForData();
    // Bytes as they are on standard output, then a line end; flushed at once.
    void data(const QByteArray& bytes);

    // Writes what standard output has gathered.
    void flush();

private:
    void append(const QByteArray& bytes);

    QTextCodec* m_codec;
    bool m_utf8;
    QByteArray m_out;
    QTextStream m_err;
    bool m_outToErr = false;
};
