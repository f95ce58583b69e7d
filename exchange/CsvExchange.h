#pragma once

#include "device/Cell.h"
#include "device/ValueCheck.h"
#include "CsvRecordWriter.h"
#include "FileEncoding.h"
#include "ImportProblem.h"
#include "model/TableInfo.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// Writes one table into a CSV file and reads such a file back into the rows of
// its table. Files: a title line ("<name> 1.1"), the field names, the data.
class CsvExchange
{
public:
    // For exports only: without the register's character sets an import
    // refuses every text value.
    CsvExchange();
    // charsets: the register's, in which imported values are checked.
    explicit CsvExchange(const RegisterCharsets& charsets);

    // Replaces the file at path; raises RunTimeError when it cannot be written
    // (the previous file, if any, is then left as it was).
    // A FIFO, a device, a folder or a link at path is refused before any work.
    void exportTable(const QString& path, const TableInfo& table, const DataRows& rows);
    // The bytes such a file holds, for a caller that keeps them elsewhere (a
    // snapshot's archive); raises RunTimeError as exportTable does for a value
    // the encoding cannot hold.
    QByteArray exportBytes(const TableInfo& table, const DataRows& rows);
    // Raises FileWriteError unless a table may be exported to path: for
    // checking every file of an export before anything is read or written.
    static void requireExportTarget(const QString& path);

    // Finds the table of the file among tables (stored in matched as soon as
    // the title is known), checks the values and returns the rows with the
    // imported cells marked changed. Raises RunTimeError (CsvValueError for a
    // refused value or row, naming them).
    // A file with a value that cannot be stored in its field is refused, its
    // row and field named; so is a file larger than the tables can need, or
    // with more data lines than its table has rows.
    DataRows importTable(const QString& path, const QList<TableInfo>& tables, TableInfo& matched);

    // The same, but every refused value (and row number) of the file is added
    // to problems, and then no rows are returned; a file that cannot be read
    // as its table still raises RunTimeError at once.
    DataRows importTable(const QString& path, const QList<TableInfo>& tables, TableInfo& matched,
                         QVector<ImportProblem>& problems);

    // The encoding of the files read and written from now on: Detect reads
    // each as FileEncoding decides and writes in the locale's codec (UTF-8
    // when that cannot hold the texts); a named one is used as it is, and an
    // export refuses a value that it cannot hold.
    void setEncoding(FileEncoding::Choice encoding) { m_encoding = encoding; }
    // What the messages after the last import say of its encoding: empty
    // unless it was read as Windows-1251 for not being UTF-8.
    const QString& encodingNote() const { return m_encodingNote; }

    // The data lines that the last import left unread: a List or
    // TransposedList table takes the first record of its file.
    int ignoredLines() const { return m_ignoredLines; }
    // Whether every value of the last import shows on a terminal as its
    // UTF-8 bytes stand (PrintableText::isPrintable of all its data), and so
    // does a line of them: false also when nobody looked.
    bool printableValues() const { return m_printableValues; }
    // What the messages after an import say of them.
    static QString ignoredLinesNote(int lines)
    {
        return QStringLiteral("взята первая строка данных, пропущено строк: %1").arg(lines);
    }

private:
    // Calls onText for every text of the file after its title (field names,
    // then the data) and onLineEnd after each line; texts are UTF-8 bytes.
    template <typename OnText, typename OnLineEnd>
    static void visitLines(const TableInfo& table, const DataRows& data, OnText onText, OnLineEnd onLineEnd);
    static void writeWhole(const QString& path, const char* bytes, qint64 size);
    // What exportTable writes, in the encoding asked for.
    CsvRecordWriter::Buffer fileBytes(const TableInfo& table, const DataRows& rows);
    static QString exportFailedText();

    char m_separator;
    ValueCheck m_check;
    int m_ignoredLines = 0;
    bool m_printableValues = false;
    FileEncoding::Choice m_encoding = FileEncoding::Detect;
    QString m_encodingNote;
};
