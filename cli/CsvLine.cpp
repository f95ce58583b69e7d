#include "CsvLine.h"

#include "exchange/CsvRecordWriter.h"

QString CsvLine::of(const QStringList& values)
{
    QList<QByteArray> bytes;
    for (const QString& value : values)
        bytes << value.toUtf8();
    return QString::fromUtf8(ofUtf8(bytes));
}

QByteArray CsvLine::ofUtf8(const QList<QByteArray>& values)
{
    QByteArray line = CsvRecordWriter(';').quotedRecord(values);
    if (line.endsWith('\n'))
        line.chop(1);
    return line;
}
