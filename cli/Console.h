#pragma once

#include <QByteArray>
#include <QString>
#include <QTextStream>

// Standard output and standard error as text in the locale's encoding.
class Console
{
public:
    Console();

    // One line on standard output / standard error; flushed at once. Control
    // characters that a file or a journal brought in are shown escaped.
    void out(const QString& line);
    void err(const QString& line);

    // From now on the lines of out() go to standard error: standard output
    // carries only what data() writes (a command's --json report).
    void keepOutputForData();
    // Bytes as they are on standard output, then a line end; flushed at once.
    void data(const QByteArray& bytes);

private:
    QTextStream m_out;
    QTextStream m_err;
    bool m_outToErr = false;
};
