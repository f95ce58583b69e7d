#include "Console.h"

#include "common/PrintableText.h"

#include <cstdio>

Console::Console()
    : m_out(stdout)
    , m_err(stderr)
{
}

void Console::out(const QString& line)
{
    if (m_outToErr) {
        err(line);
        return;
    }
    m_out << PrintableText::of(line) << '\n';
    m_out.flush();
}

void Console::err(const QString& line)
{
    m_err << PrintableText::of(line) << '\n';
    m_err.flush();
}

void Console::keepOutputForData()
{
    m_outToErr = true;
}

void Console::data(const QByteArray& bytes)
{
    m_out.flush();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
