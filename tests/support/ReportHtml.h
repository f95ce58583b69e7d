#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// A report's HTML taken apart as a reader would: it must be well-formed, and
// its texts are read back by the classes of the elements that hold them.
struct ReportHtml
{
    bool wellFormed = false;
    QString error;
    // The texts of every element with a class, by class, in document order.
    QMap<QString, QStringList> byClass;
    // Each row of a table of cells: its cells' texts by class, and "table",
    // the heading of the table it belongs to.
    QList<QMap<QString, QString>> cellRows;

    static ReportHtml parse(const QString& html);
    // The one text of a class; empty when there is none or more than one.
    QString only(const QString& cssClass) const;
};
