#include "ProgressLine.h"

#include "common/PrintableText.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// The columns of the terminal; the line stays one shorter, so that it never wraps.
int columnsOf(int fd)
{
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col - 1;
    return 79;
}

QString minutesAndSeconds(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written <= 0)
            return; // a terminal that takes nothing more gets no progress; the work goes on
        data += written;
        left -= written;
    }
}

} // namespace

ProgressLine::ProgressLine(int fd, bool quiet, const Clock& clock)
    : ProgressReporter(clock)
    , m_fd(!quiet && ::isatty(fd) ? fd : -1)
    , m_started(clock.milliseconds())
    , m_lastDrawn(m_started - RedrawInterval)
{
}

ProgressLine::~ProgressLine()
{
    clear();
}

void ProgressLine::setRange(int minimum, int maximum)
{
    m_total = maximum - minimum;
    m_done = 0;
    m_started = clock().milliseconds();
}

void ProgressLine::setValue(int value)
{
    m_done = value;
    draw();
}

void ProgressLine::setText(const QString& text)
{
    m_text = text;
    draw();
}

void ProgressLine::clear()
{
    if (!m_onScreen)
        return;
    writeAll(m_fd, QByteArrayLiteral("\r\x1b[K"));
    m_onScreen = false;
    // The next text is drawn at once, wherever the cursor is now.
    m_lastDrawn = clock().milliseconds() - RedrawInterval;
}

QString ProgressLine::format(const QString& text, int done, int total, qint64 elapsedMs)
{
    if (done <= 0 || elapsedMs <= 0)
        return text;
    const double rate = double(done) * 1000.0 / double(elapsedMs);
    QString line = QStringLiteral("%1 — %2 строк/с").arg(text).arg(qRound64(rate));
    if (total > 0 && done <= total)
        line += QStringLiteral(", осталось %1").arg(minutesAndSeconds(qRound64(double(total - done) / rate)));
    return line;
}

void ProgressLine::draw()
{
    if (m_fd < 0 || m_text.isEmpty())
        return;
    const qint64 time = clock().milliseconds();
    if (time - m_lastDrawn < RedrawInterval)
        return;
    m_lastDrawn = time;
    const QString line = PrintableText::of(format(m_text, m_done, m_total, time - m_started)).left(columnsOf(m_fd));
    writeAll(m_fd, "\r" + line.toLocal8Bit() + "\x1b[K");
    m_onScreen = true;
}
