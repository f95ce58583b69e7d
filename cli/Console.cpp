#include "Console.h"

#include "ExitCode.h"

#include "common/PrintableText.h"
#include "common/SystemErrorText.h"

#include <QTextCodec>

#include <cerrno>
#include <cstring>

namespace {

// Standard output is written when this much has gathered.
const int FlushSize = 64 * 1024;
const int Utf8Mib = 106;

} // namespace

Console::Console()
    : m_codec(QTextCodec::codecForLocale())
    , m_utf8(m_codec->mibEnum() == Utf8Mib)
{
    m_out.reserve(FlushSize + 4096);
}

Console::~Console()
{
    flush();
}

void Console::out(const QString& line)
{
    const QByteArray bytes = m_codec->fromUnicode(PrintableText::of(line));
    if (m_outToErr)
        appendToErr(bytes);
    else
        append(bytes);
}

void Console::outUtf8(const QByteArray& line)
{
    if (!m_utf8 || !PrintableText::isPrintable(line.constData(), line.constData() + line.size())) {
        out(QString::fromUtf8(line));
        return;
    }
    if (m_outToErr)
        appendToErr(line);
    else
        append(line);
}

void Console::outPrintableUtf8(const QByteArray& line)
{
    if (!m_utf8)
        out(QString::fromUtf8(line));
    else if (m_outToErr)
        appendToErr(line);
    else
        append(line);
}

void Console::appendToErr(const QByteArray& line)
{
    m_outOnErr += line;
    m_outOnErr += '\n';
    if (m_outOnErr.size() >= FlushSize)
        flush();
}

void Console::append(const QByteArray& bytes, bool lineEnd)
{
    // One copy into the room reserved, the line end with it.
    const int at = m_out.size();
    m_out.resize(at + bytes.size() + (lineEnd ? 1 : 0));
    char* const out = m_out.data() + at;
    std::memcpy(out, bytes.constData(), size_t(bytes.size()));
    if (lineEnd)
        out[bytes.size()] = '\n';
    if (m_out.size() >= FlushSize)
        flush();
}

bool Console::write(std::FILE* stream, const QByteArray& bytes)
{
    if (m_failedStream == stream)
        return false;
    errno = 0;
    const bool written = (bytes.isEmpty() || std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream)
                                                 == size_t(bytes.size()))
        && std::fflush(stream) == 0;
    if (!written && !m_failedStream) {
        m_failedStream = stream;
        m_failure = errno != 0 ? errno : EIO;
    }
    return written;
}

void Console::flush()
{
    write(stdout, m_out);
    m_out.resize(0); // keeps the room reserved
    if (!m_outOnErr.isEmpty()) {
        write(stderr, m_outOnErr);
        m_outOnErr.resize(0);
    }
}

void Console::err(const QString& line)
{
    flush();
    write(stderr, m_codec->fromUnicode(PrintableText::of(line)) + '\n');
}

void Console::keepOutputForData()
{
    m_outToErr = true;
    m_outOnErr.reserve(FlushSize + 4096);
}

void Console::data(const QByteArray& bytes)
{
    flush();
    write(stdout, bytes + '\n');
}

void Console::dataPart(const QByteArray& bytes)
{
    append(bytes, false);
}

bool Console::failed()
{
    flush();
    return m_failedStream != nullptr;
}

QString Console::failureText() const
{
    if (!m_failedStream)
        return QString();
    return QStringLiteral("Не удалось записать на %1: %2")
        .arg(m_failedStream == stdout ? QStringLiteral("стандартный вывод")
                                      : QStringLiteral("стандартный вывод ошибок"),
             SystemErrorText::of(m_failure));
}

int Console::finish(int status)
{
    if (!failed())
        return status;
    if (m_failedStream == stdout)
        write(stderr, m_codec->fromUnicode(failureText()) + '\n');
    return WriteFailure;
}
