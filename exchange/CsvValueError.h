#pragma once

#include "common/Errors.h"

#include <QString>

// A refused value or row of a CSV file: the message the user sees, and where
// it stands (the file's data row, from 1, or 0 in a one-record table; the
// field's name, empty for a row), for callers that report it by parts.
class CsvValueError : public RunTimeError
{
public:
    CsvValueError(const QString& message, int row, const QString& field)
        : RunTimeError(message), m_row(row), m_field(field)
    {
    }

    int row() const { return m_row; }
    const QString& field() const { return m_field; }

private:
    int m_row;
    QString m_field;
};
