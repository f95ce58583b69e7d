#pragma once

#include <QString>
#include <QTextStream>

// Standard output and standard error as text in the locale's encoding.
class Console
{
public:
    Console();

    // One line on standard output / standard error; flushed at once.
    void out(const QString& line);
    void err(const QString& line);

private:
    QTextStream m_out;
    QTextStream m_err;
};
