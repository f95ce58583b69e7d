#include "CsvLine.h"

#include "exchange/CsvRecordWriter.h"

QString CsvLine::of(const QStringList& values)
{
    QList<QByteArray> bytes;
    for (const QString& value : values)
        bytes << value.toUtf8();
    QString line = QString::fromUtf8(CsvRecordWriter(';').quotedRecord(bytes));
    if (line.endsWith(QLatin1Char('\n')))
        line.chop(1);
    return line;
}
