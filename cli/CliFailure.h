#pragma once

#include "ExitCode.h"

#include <QString>

#include <exception>

// Ends a command: the message goes to standard error, the code is the exit status.
class CliFailure : public std::exception
{
public:
    CliFailure(ExitCode code, const QString& message) : m_code(code), m_message(message) {}
    const char* what() const noexcept override { return "cli_failure"; }
    ExitCode code() const { return m_code; }
    const QString& message() const { return m_message; }

private:
    ExitCode m_code;
    QString m_message;
};
