#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// A failure with a message for the user. what() is fixed; read message().
class RunTimeError : public std::exception
{
public:
    explicit RunTimeError(const QString& message) : m_message(message) {}
    const char* what() const noexcept override { return "runtime_error"; }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// A file that could not be written; the message names it and the system's
// reason, and the file is left as it was before.
class FileWriteError : public RunTimeError
{
public:
    using RunTimeError::RunTimeError;
};

// A driver call that the connection settings dialog guards failed.
class DriverException : public std::exception
{
public:
    DriverException(int code, const QString& description);
    const char* what() const noexcept override { return m_message.constData(); }
    int code() const { return m_code; }
    const QString& description() const { return m_description; }

private:
    int m_code;
    QString m_description;
    QByteArray m_message;
};

// Anything else that went wrong inside a guarded driver call.
class UnknownException : public std::exception
{
public:
    UnknownException();
    const char* what() const noexcept override { return m_message.constData(); }

private:
    QByteArray m_message;
};
