#pragma once

#include <QString>

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
    };

    // Where the failure lies, as far as it is known: the file, its data row
    // (from 1; 0 when none) and the field's name.
    struct Place
    {
        QString file;
        int row = 0;
        QString field;
    };

    FlowFailure(Kind kind, const QString& message) : m_kind(kind), m_message(message) {}
    FlowFailure(Kind kind, const QString& message, const Place& place)
        : m_kind(kind), m_message(message), m_place(place)
    {
    }
    const char* what() const noexcept override { return "flow_failure"; }

    Kind kind() const { return m_kind; }
    const QString& message() const { return m_message; }
    const Place& place() const { return m_place; }

private:
    Kind m_kind;
    QString m_message;
    Place m_place;
};
