#include "TestFiles.h"

#include "exchange/FileTextCodec.h"

#include <QFile>
#include <QTextCodec>

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool replaceInTableFile(const QString& path, const QString& from, const QString& to)
{
    const QByteArray bytes = fileBytes(path);
    QTextCodec* codec = FileTextCodec::forReading(bytes);
    QString text = codec->toUnicode(bytes);
    const int at = text.indexOf(from);
    if (at < 0)
        return false;
    text.replace(at, from.size(), to);
    return writeBytes(path, codec->fromUnicode(text));
}
