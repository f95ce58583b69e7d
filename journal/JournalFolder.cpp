#include "JournalFolder.h"

#include "common/FileNamePart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QStandardPaths>

#include <algorithm>

#include <unistd.h>

namespace {

const QString Suffix = QStringLiteral(".jsonl");
// Another program appending holds the lock for one line's time.
const int LockWaitMs = 10000;

} // namespace

JournalFolder::JournalFolder(const QString& directory) : m_directory(directory.isEmpty() ? defaultDirectory() : directory) {}

QString JournalFolder::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/journal");
}

QString JournalFolder::filePath(const QString& serialNumber) const
{
    return m_directory + QLatin1Char('/') + FileNamePart::of(serialNumber) + Suffix;
}

QString JournalFolder::append(const JournalRecord& record) const
{
    const QString path = filePath(record.serialNumber);
    if (!QDir().mkpath(m_directory))
        return QStringLiteral("%1: не удалось создать папку журнала").arg(QDir::toNativeSeparators(m_directory));

    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(LockWaitMs)) {
        return QStringLiteral("%1: журнал занят другой программой или недоступен (блокировка %2)")
            .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(path + QStringLiteral(".lock")));
    }

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    const QByteArray line = record.toJsonLine() + '\n';
    if (file.write(line) != line.size() || !file.flush())
        return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    if (::fsync(file.handle()) != 0)
        return QStringLiteral("%1: данные не сохранены на диске").arg(QDir::toNativeSeparators(path));
    return QString();
}

QStringList JournalFolder::serialNumbers() const
{
    QStringList serials;
    const QStringList names = QDir(m_directory).entryList({QStringLiteral("*") + Suffix}, QDir::Files, QDir::Name);
    for (const QString& name : names)
        serials << name.left(name.size() - Suffix.size());
    return serials;
}

QList<JournalRecord> JournalFolder::records(const QString& serialNumber) const
{
    QList<JournalRecord> result;
    QFile file(filePath(serialNumber));
    if (!file.open(QIODevice::ReadOnly))
        return result;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        JournalRecord record;
        if (!line.isEmpty() && JournalRecord::fromJsonLine(line, record))
            result.append(record);
    }
    return result;
}

QList<RecordedWrite> JournalFolder::writes(const QString& serialNumber) const
{
    const QStringList serials = serialNumber.isEmpty() ? serialNumbers() : QStringList{serialNumber};
    QList<RecordedWrite> result;
    QHash<QString, int> indexOf;
    for (const QString& serial : serials) {
        for (const JournalRecord& record : records(serial)) {
            const auto found = indexOf.constFind(record.writeId);
            if (found != indexOf.constEnd()) {
                result[found.value()].tables.append(record);
                continue;
            }
            indexOf.insert(record.writeId, result.size());
            result.append(RecordedWrite{{record}});
        }
    }
    // Newest first; writes of the same moment keep the journal's order, latest first.
    std::reverse(result.begin(), result.end());
    std::stable_sort(result.begin(), result.end(), [](const RecordedWrite& a, const RecordedWrite& b) {
        return a.first().time > b.first().time;
    });
    return result;
}

RecordedWrite JournalFolder::findWrite(const QString& writeId, const QString& serialNumber) const
{
    for (const RecordedWrite& write : writes(serialNumber)) {
        if (write.id() == writeId)
            return write;
    }
    return RecordedWrite();
}
