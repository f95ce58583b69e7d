#include "ReportFile.h"

#include "CliFailure.h"

#include "common/WritableTarget.h"

#include <QSaveFile>

namespace {

void refuseUnlessWritable(const QString& path)
{
    const QString why = WritableTarget::refusal(path);
    if (!why.isEmpty())
        throw CliFailure(Refused, QStringLiteral("Отчёт не записан в %1: %2").arg(path, why));
}

} // namespace

void ReportFile::requireTarget(const QString& path)
{
    refuseUnlessWritable(path);
}

void ReportFile::write(const QString& path, const QString& html)
{
    refuseUnlessWritable(path);
    const QByteArray bytes = html.toUtf8();
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    if (written) {
        // Whatever took the path's place meanwhile is kept, not replaced.
        try {
            refuseUnlessWritable(path);
        } catch (...) {
            file.cancelWriting();
            throw;
        }
    }
    if (!written || !file.commit())
        throw CliFailure(Refused, QStringLiteral("Отчёт не записан в %1: %2").arg(path, file.errorString()));
}
