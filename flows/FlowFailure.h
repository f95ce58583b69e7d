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

    FlowFailure(Kind kind, const QString& message) : m_kind(kind), m_message(message) {}
    const char* what() const noexcept override { return "flow_failure"; }

    Kind kind() const { return m_kind; }
    const QString& message() const { return m_message; }

private:
    Kind m_kind;
    QString m_message;
};
