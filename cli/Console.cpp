#include "Console.h"

#include "common/PrintableText.h"

#include <QTextCodec>

#include <cstdio>

namespace {

// Standard output is written when this much has gathered.
const int FlushSize = 64 * 1024;
const int Utf8Mib = 106;

} // namespace

Console::Console()
    : m_codec(QTextCodec::codecForLocale())
    , m_utf8(m_codec->mibEnum() == Utf8Mib)
    , m_err(stderr)
{
    m_out.reserve(FlushSize + 4096);
}

Console::~Console()
{
    flush();
}

void Console::out(const QString& line)
{
    if (m_outToErr) {
        err(line);
        return;
    }
    append(m_codec->fromUnicode(PrintableText::of(line)));
}

void Console::outUtf8(const QByteArray& line)
{
    if (m_outToErr || !m_utf8 || !PrintableText::isPrintable(line.constData(), line.constData() + line.size())) {
        out(QString::fromUtf8(line));
        return;
    }
    append(line);
}

void Console::append(const QByteArray& bytes)
{
    m_out += bytes;
    m_out += '\n';
    if (m_out.size() >= FlushSize)
        flush();
}

void Console::flush()
{
    if (!m_out.isEmpty())
        std::fwrite(m_out.constData(), 1, size_t(m_out.size()), stdout);
    std::fflush(stdout);
    m_out.resize(0); // keeps the room reserved
}

void Console::err(const QString& line)
{
    flush();
    m_err << PrintableText::of(line) << '\n';
    m_err.flush();
}

void Console::keepOutputForData()
{
    m_outToErr = true;
}

void Console::data(const QByteArray& bytes)
{
    flush();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
