#include "Console.h"

#include <cstdio>

Console::Console()
    : m_out(stdout)
    , m_err(stderr)
{
}

void Console::out(const QString& line)
{
    m_out << line << '\n';
    m_out.flush();
}

void Console::err(const QString& line)
{
    m_err << line << '\n';
    m_err.flush();
}
