#pragma once

#include <QStringList>
#include <QtGlobal>

// Collects the debug lines written while it lives, then hands logging back.
class LogCapture
{
public:
    LogCapture() : m_previous(qInstallMessageHandler(&LogCapture::collect)) { current() = &m_lines; }
    ~LogCapture()
    {
        current() = nullptr;
        qInstallMessageHandler(m_previous);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const QStringList& lines() const { return m_lines; }

private:
    static QStringList*& current()
    {
        static QStringList* lines = nullptr;
        return lines;
    }
    static void collect(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        if (current() && type == QtDebugMsg)
            current()->append(message);
    }

    QtMessageHandler m_previous;
    QStringList m_lines;
};
