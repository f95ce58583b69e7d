#pragma once

#include "device/RegisterIdentity.h"

#include <QString>
#include <QStringList>

// A self-contained HTML document of a report, built as text: no scripts and
// no outside files, styles for the screen and for printing on A4. Its markup
// is well-formed XML, so that any reader takes it apart. Texts handed to it
// are escaped here; the builders of the reports give only texts.
class ReportDocument
{
public:
    explicit ReportDocument(const QString& title);

    // "ККТ": model, serial number and firmware, as a table of two columns.
    void addRegister(const QString& caption, const RegisterIdentity& identity);
    void addHeading(int level, const QString& text, const QString& cssClass = QString());
    void addParagraph(const QString& text, const QString& cssClass = QString());
    // A table of the given column headers, of rows added below until endTable().
    void beginTable(const QString& cssClass, const QStringList& headers);
    // One row, each text in a cell whose class is the column's class.
    void addRow(const QStringList& classes, const QStringList& texts);
    void endTable();
    // Label and value pairs as a table of two columns.
    void addFacts(const QString& cssClass, const QList<QPair<QString, QString>>& facts, const QStringList& classes);
    void beginSection(const QString& cssClass);
    void endSection();

    // The whole document.
    QString html() const;

private:
    QString m_title;
    QString m_body;
};
