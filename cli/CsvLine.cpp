#include "CsvLine.h"

#include "exchange/CsvRecordWriter.h"

QString CsvLine::of(const QStringList& values)
{
    QList<QByteArray> bytes;
    for (const QString& value : values)
        bytes << value.toUtf8();
    QByteArray line = CsvRecordWriter(';').quotedRecord(bytes);
    line.chop(1); // the line end
    return QString::fromUtf8(line);
}
