#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Debug and info lines written while it lives.
class LogLines
{
public:
    LogLines() : m_previous(qInstallMessageHandler(&LogLines::collect)) { current() = &m_lines; }
    ~LogLines()
    {
        current() = nullptr;
        qInstallMessageHandler(m_previous);
    }
    QStringList debug() const { return m_lines.value(QtDebugMsg); }
    QStringList info() const { return m_lines.value(QtInfoMsg); }

private:
    using Lines = QMap<QtMsgType, QStringList>;
    static Lines*& current()
    {
        static Lines* lines = nullptr;
        return lines;
    }
    static void collect(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        if (current())
            (*current())[type] << message;
    }
    QtMessageHandler m_previous;
    Lines m_lines;
};
