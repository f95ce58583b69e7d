#include "ReportFile.h"

#include "CliFailure.h"

#include <QSaveFile>

void ReportFile::write(const QString& path, const QString& html)
{
    const QByteArray bytes = html.toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw CliFailure(Refused, QStringLiteral("Отчёт не записан в %1: %2").arg(path, file.errorString()));
}
