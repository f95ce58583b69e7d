#pragma once

#include <QString>
#include <QVector>

#include <exception>

// Why a flow that both programs run (identify, read, write, import, compare)
// stopped, with the message the user sees. Each program only presents it:
// the window in a message box and the status bar, the shell program on
// standard error with an exit status.
class FlowFailure : public std::exception
{
public:
    enum Kind {
        DriverFailed, // the driver or the register failed, or a read could not be completed
        Refused,      // a file, a value or a model description was refused
        Cancelled,    // the user asked the read or the write to stop
        WriteFailed,  // a file could not be written (it is left as it was)
    };

    // One thing the flow stopped for and where it lies, as far as it is
    // known: its part of the message, the file, the file's data row (from 1;
    // 0 when none) and the field's name.
    struct Place
    {
        QString message;
        QString file;
        int row = 0;
        QString field;
    };

    FlowFailure(Kind kind, const QString& message) : m_kind(kind), m_message(message) {}
    FlowFailure(Kind kind, const QString& message, const QVector<Place>& places)
        : m_kind(kind), m_message(message), m_places(places)
    {
    }
    const char* what() const noexcept override { return "flow_failure"; }

    Kind kind() const { return m_kind; }
    const QString& message() const { return m_message; }
    // Empty when nothing more than the message is known.
    const QVector<Place>& places() const { return m_places; }

private:
    Kind m_kind;
    QString m_message;
    QVector<Place> m_places;
};
