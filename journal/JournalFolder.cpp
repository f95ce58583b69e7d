#include "JournalFolder.h"

#include "common/SystemErrorText.h"
#include "common/WritableTarget.h"
#include "device/ProgressReporter.h"
#include "exchange/RegularFile.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Suffix = QStringLiteral(".jsonl");
// Another program appending holds the lock for one line's time.
const int LockWaitMs = 10000;
const int LockRetryMs = 50;

// A character of a serial number that a file name must not carry as it is:
// a path separator, a control character, the escape mark itself, and a dot
// in front (a hidden file, or "." and "..").
bool escaped(QChar c, int at)
{
    return c == QLatin1Char('%') || c == QLatin1Char('/') || c == QLatin1Char('\\')
        || c.category() == QChar::Other_Control || (at == 0 && c == QLatin1Char('.'));
}

QString fileNamePart(const QString& serialNumber)
{
    if (serialNumber.isEmpty())
        return QStringLiteral("%");
    QString part;
    for (int i = 0; i < serialNumber.size(); ++i) {
        const QChar c = serialNumber.at(i);
        if (!escaped(c, i)) {
            part += c;
            continue;
        }
        for (const char byte : QString(c).toUtf8())
            part += QStringLiteral("%%1").arg(uchar(byte), 2, 16, QLatin1Char('0')).toUpper();
    }
    return part;
}

// The serial number of a journal's file name; null for a name that no serial number makes.
QString serialNumberOf(const QString& part)
{
    const QString serial = part == QLatin1String("%") ? QStringLiteral("")
                                                       : QString::fromUtf8(QByteArray::fromPercentEncoding(part.toUtf8()));
    return fileNamePart(serial) == part ? serial : QString();
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString notRegularLock(const QString& lockPath)
{
    return QStringLiteral("блокировка %1: %2").arg(shown(lockPath), WritableTarget::notRegularText());
}

// The lock is held by another program, or why it cannot be taken at all.
// Waits only for a holder; anything else is reported at once.
QString takeLock(QLockFile& lock, const QString& lockPath)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        errno = 0;
        if (lock.tryLock(0))
            return QString();
        const int why = errno;
        switch (lock.error()) {
        case QLockFile::NoError:
            return QString();
        case QLockFile::LockFailedError: {
            if (!WritableTarget::refusal(lockPath).isEmpty())
                return notRegularLock(lockPath);
            break; // held
        }
        case QLockFile::PermissionError:
            return QStringLiteral("не удалось создать блокировку %1: %2")
                .arg(shown(lockPath), SystemErrorText::of(EACCES));
        case QLockFile::UnknownError:
            return QStringLiteral("не удалось создать блокировку %1%2")
                .arg(shown(lockPath), why ? QStringLiteral(": ") + SystemErrorText::of(why) : QString());
        }
        if (waited.hasExpired(LockWaitMs))
            return QStringLiteral("журнал занят другой программой (блокировка %1)").arg(shown(lockPath));
        QThread::msleep(LockRetryMs);
    }
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        done += written;
    }
    return true;
}

// Newest first; items of the same moment keep the journal's order, latest first.
template<typename T, typename TimeOf>
void sortNewestFirst(QList<T>& list, TimeOf timeOf)
{
    std::reverse(list.begin(), list.end());
    std::stable_sort(list.begin(), list.end(), [&](const T& a, const T& b) { return timeOf(a) > timeOf(b); });
}

// The lines of a journal from where the file stands, read in large blocks: a
// line is handed out as a view of the block, without its line end and the
// blanks around it, valid until the next call.
class LineReader
{
public:
    explicit LineReader(QFile& file) : m_file(file), m_offset(file.pos()) {}

    // False at the end of the file or on a read error (the file's error()).
    bool next(QByteArray& line, qint64& offset)
    {
        for (;;) {
            const char* begin = m_buffer.constData() + m_start;
            const char* end = m_buffer.constData() + m_buffer.size();
            const char* scanFrom = m_buffer.constData() + std::max(m_start, m_scanned);
            const auto* newline = static_cast<const char*>(std::memchr(scanFrom, '\n', size_t(end - scanFrom)));
            if (newline || (m_atEnd && begin < end)) {
                const char* lineEnd = newline ? newline : end;
                offset = m_offset + m_start;
                m_start = int(lineEnd - m_buffer.constData()) + (newline ? 1 : 0);
                while (begin < lineEnd && std::isspace(uchar(*begin)))
                    ++begin;
                while (lineEnd > begin && std::isspace(uchar(lineEnd[-1])))
                    --lineEnd;
                line = QByteArray::fromRawData(begin, int(lineEnd - begin));
                return true;
            }
            if (m_atEnd)
                return false;
            m_offset += m_start;
            m_buffer.remove(0, m_start);
            m_start = 0;
            const int kept = m_buffer.size();
            m_scanned = kept; // a long line is searched for its end once
            m_buffer.resize(kept + BlockSize);
            const qint64 read = m_file.read(m_buffer.data() + kept, BlockSize);
            m_buffer.resize(kept + int(std::max<qint64>(read, 0)));
            m_atEnd = read <= 0;
        }
    }

    // Where the next line starts.
    qint64 position() const { return m_offset + m_start; }

private:
    static const int BlockSize = 1 << 20;
    QFile& m_file;
    QByteArray m_buffer;
    int m_start = 0;
    int m_scanned = 0; // where the search for a line end goes on
    qint64 m_offset;
    bool m_atEnd = false;
};

QString writeKey(const JournalRecord& record)
{
    return record.serialNumber + QLatin1Char('\n') + record.writeId;
}

} // namespace

JournalFolder::JournalFolder(const QString& directory) : m_directory(directory.isEmpty() ? defaultDirectory() : directory) {}

QString JournalFolder::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/journal");
}

QString JournalFolder::filePath(const QString& serialNumber) const
{
    return m_directory + QLatin1Char('/') + fileNamePart(serialNumber) + Suffix;
}

QVector<unsigned> JournalFolder::WritePlace::unconfirmedTables() const
{
    QVector<unsigned> tables;
    for (int i = 0; i < tableNumbers.size() && i < confirmed.size(); ++i) {
        if (!confirmed.at(i))
            tables << tableNumbers.at(i);
    }
    return tables;
}

QVector<unsigned> JournalFolder::WritePlace::listedTables() const
{
    QVector<unsigned> tables;
    for (int i = 0; i < tableNumbers.size(); ++i) {
        if (confirmed.value(i, true))
            tables << tableNumbers.at(i);
    }
    return tables + unconfirmedTables();
}

QString JournalFolder::append(const JournalRecord& record) const
{
    return appendLine(record.serialNumber, record.toJsonLine());
}

QString JournalFolder::confirm(const JournalRecord& intent) const
{
    return appendLine(intent.serialNumber, intent.confirmationLine(QDateTime::currentDateTimeUtc()));
}

QString JournalFolder::appendLine(const QString& serialNumber, QByteArray line) const
{
    const QString path = filePath(serialNumber);
    if (!QDir().mkpath(m_directory))
        return QStringLiteral("%1: не удалось создать папку журнала").arg(shown(m_directory));

    const QString lockPath = path + QStringLiteral(".lock");
    // Neither the journal nor its lock is written through a link or into a FIFO or a device.
    const QString refused = WritableTarget::refusal(path);
    if (!refused.isEmpty())
        return QStringLiteral("%1: %2").arg(shown(path), refused);
    if (!WritableTarget::refusal(lockPath).isEmpty())
        return QStringLiteral("%1: %2").arg(shown(path), notRegularLock(lockPath));
    QLockFile lock(lockPath);
    const QString notLocked = takeLock(lock, lockPath);
    if (!notLocked.isEmpty())
        return QStringLiteral("%1: %2").arg(shown(path), notLocked);

    QFile file;
    QString why;
    if (RegularFile::open(file, path, RegularFile::Append, why) != RegularFile::Opened)
        return QStringLiteral("%1: %2").arg(shown(path), why);
    const int fd = file.handle();
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return QStringLiteral("%1: %2").arg(shown(path), SystemErrorText::of(errno));
    const off_t start = info.st_size;

    line += '\n';
    char last = '\n';
    if (start > 0 && ::pread(fd, &last, 1, start - 1) == 1 && last != '\n') {
        // What an earlier append left half written stays a line of its own,
        // which the readers skip and report.
        qWarning() << "JournalFolder" << path << "ends in a record cut short; the next record starts on a new line";
        line.prepend('\n');
    }
    const auto fail = [&](const QString& what) {
        const int error = errno;
        if (::ftruncate(fd, start) != 0)
            qWarning() << "JournalFolder" << path << "could not be cut back to" << start << "bytes";
        return QStringLiteral("%1: %2: %3").arg(shown(path), what, SystemErrorText::of(error));
    };
    if (!writeAll(fd, line))
        return fail(QStringLiteral("запись не добавлена"));
    if (::fsync(fd) != 0)
        return fail(QStringLiteral("данные не сохранены на диске"));
    return QString();
}

QStringList JournalFolder::serialNumbers() const
{
    QStringList serials;
    const QStringList names = QDir(m_directory).entryList({QStringLiteral("*") + Suffix}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString serial = serialNumberOf(name.left(name.size() - Suffix.size()));
        if (!serial.isNull())
            serials << serial;
    }
    std::sort(serials.begin(), serials.end());
    return serials;
}

void JournalFolder::readLines(const QString& serialNumber, const LineVisitor& visit, QStringList* problems,
                              ProgressReporter* progress) const
{
    const QString path = filePath(serialNumber);
    QFile file;
    QString why;
    const RegularFile::Outcome opened = RegularFile::open(file, path, RegularFile::Read, why);
    if (opened != RegularFile::Opened) {
        if (problems && (opened == RegularFile::NotRegular || QFileInfo::exists(path)))
            *problems << QStringLiteral("%1: %2").arg(shown(path), why);
        return;
    }
    if (progress)
        progress->setRange(0, int(std::min<qint64>(file.size() / 1024, std::numeric_limits<int>::max())));
    QVector<qint64> damaged;
    qint64 lineNumber = 0;
    LineReader lines(file);
    QByteArray line;
    qint64 offset = 0;
    while (lines.next(line, offset)) {
        ++lineNumber;
        if (progress)
            progress->setValue(int(std::min<qint64>(lines.position() / 1024, std::numeric_limits<int>::max())));
        if (line.isEmpty())
            continue;
        const LineRead read = visit(line, offset);
        if (read == LineRead::Damaged)
            damaged << lineNumber;
        else if (read == LineRead::Stop)
            break;
    }
    if (file.error() != QFileDevice::NoError && problems)
        *problems << QStringLiteral("%1: %2").arg(shown(path), file.errorString());
    if (!damaged.isEmpty() && problems) {
        QStringList numbers;
        for (int i = 0; i < damaged.size() && i < 10; ++i)
            numbers << QString::number(damaged.at(i));
        if (damaged.size() > 10)
            numbers << QStringLiteral("...");
        *problems << QStringLiteral("%1: пропущено повреждённых строк: %2 (строки %3)")
                         .arg(shown(path))
                         .arg(damaged.size())
                         .arg(numbers.join(QStringLiteral(", ")));
    }
}

void JournalFolder::readRecords(const QString& serialNumber, const RecordVisitor& visit, QStringList* problems,
                                const ConfirmationVisitor& confirmed) const
{
    readLines(
        serialNumber,
        [&](const QByteArray& line, qint64 offset) {
            // A confirmation first, as the index reads it.
            JournalRecord::Confirmation confirmation;
            if (JournalRecord::confirmationFromJsonLine(line, confirmation)) {
                if (confirmed)
                    confirmed(confirmation);
                return LineRead::Record;
            }
            JournalRecord record;
            if (!JournalRecord::fromJsonLine(line, record))
                return LineRead::Damaged;
            return visit(record, offset) ? LineRead::Record : LineRead::Stop;
        },
        problems);
}

namespace {

// The latest record of the list that the confirmation is of, confirmed.
template<typename Records>
void applyConfirmation(Records& records, const JournalRecord::Confirmation& confirmation)
{
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (!it->confirmed && it->confirmedBy(confirmation)) {
            it->confirmed = true;
            return;
        }
    }
}

QString writeKey(const JournalRecord::Confirmation& confirmation)
{
    return confirmation.serialNumber + QLatin1Char('\n') + confirmation.writeId;
}

} // namespace

QList<JournalRecord> JournalFolder::records(const QString& serialNumber) const
{
    QList<JournalRecord> result;
    readRecords(
        serialNumber,
        [&](const JournalRecord& record, qint64) {
            result.append(record);
            return true;
        },
        nullptr, [&](const JournalRecord::Confirmation& confirmation) { applyConfirmation(result, confirmation); });
    return result;
}

QList<RecordedWrite> JournalFolder::writes(const QString& serialNumber, QStringList* problems) const
{
    const QStringList serials = serialNumber.isEmpty() ? serialNumbers() : QStringList{serialNumber};
    QList<QList<JournalRecord>> grouped; // every record of a write, in file order
    QHash<QString, int> indexOf;
    for (const QString& serial : serials) {
        readRecords(
            serial,
            [&](const JournalRecord& record, qint64) {
                const QString key = writeKey(record);
                const auto found = indexOf.constFind(key);
                if (found != indexOf.constEnd())
                    grouped[found.value()].append(record);
                else {
                    indexOf.insert(key, grouped.size());
                    grouped.append({record});
                }
                return true;
            },
            problems,
            [&](const JournalRecord::Confirmation& confirmation) {
                const auto found = indexOf.constFind(writeKey(confirmation));
                if (found != indexOf.constEnd())
                    applyConfirmation(grouped[found.value()], confirmation);
            });
    }
    QList<RecordedWrite> result;
    for (const QList<JournalRecord>& records : qAsConst(grouped)) {
        RecordedWrite write;
        for (const JournalRecord& record : records)
            write.add(record);
        result.append(write);
    }
    sortNewestFirst(result, [](const RecordedWrite& write) { return write.first().time; });
    return result;
}

QList<JournalFolder::WritePlace> JournalFolder::placesOf(const QString& serialNumber, HeadReader readHead,
                                                         QStringList* problems, ProgressReporter* progress) const
{
    const QStringList serials = serialNumber.isEmpty() ? serialNumbers() : QStringList{serialNumber};
    QList<WritePlace> result;
    // By the register a record names and its write id, the texts shared with the places.
    QHash<QPair<QString, QString>, int> indexOf;
    QVector<QDateTime> lastTimes; // of each place's latest record
    for (const QString& serial : serials) {
        const auto add = [&](JournalRecord& record, int cellCount, qint64 offset) {
            // Most records name the journal's register and the program of the write before.
            if (record.serialNumber == serial)
                record.serialNumber = serial;
            if (!result.isEmpty() && record.program == result.last().program && record.version == result.last().version) {
                record.program = result.last().program;
                record.version = result.last().version;
            }
            const QPair<QString, QString> key(record.serialNumber, record.writeId);
            auto found = indexOf.constFind(key);
            if (found == indexOf.constEnd()) {
                found = indexOf.insert(key, result.size());
                result.append(WritePlace{serial, record.writeId, record.time, {}, record.program, record.version, {}, 0,
                                         {}, {}, true, result.size()});
                lastTimes.append(record.time);
            }
            WritePlace& place = result[found.value()];
            QDateTime& lastTime = lastTimes[found.value()];
            place.inOrder = place.inOrder && record.serialNumber == serial && record.program == place.program
                && record.version == place.version && record.time >= lastTime;
            lastTime = record.time;
            place.offsets.append(offset);
            place.tableNumbers.append(record.tableNumber);
            place.cellCount += cellCount;
            place.intents.append(record.intent);
            place.confirmed.append(record.confirmed);
        };
        const auto confirm = [&](const JournalRecord::Confirmation& confirmation) {
            const auto found = indexOf.constFind(qMakePair(confirmation.serialNumber, confirmation.writeId));
            if (found == indexOf.constEnd())
                return;
            WritePlace& place = result[found.value()];
            for (int i = place.intents.size() - 1; i >= 0; --i) {
                if (!place.confirmed.at(i) && place.intents.at(i) == confirmation.intent) {
                    place.confirmed[i] = true;
                    return;
                }
            }
        };
        readLines(
            serial,
            [&](const QByteArray& line, qint64 offset) {
                // A confirmation first, as readRecords() takes it.
                JournalRecord::Confirmation confirmation;
                if (JournalRecord::confirmationFromJsonLine(line, confirmation)) {
                    confirm(confirmation);
                    return LineRead::Record;
                }
                JournalRecord head;
                int cellCount = 0;
                if (!readHead(line, head, cellCount))
                    return LineRead::Damaged;
                add(head, cellCount, offset);
                return LineRead::Record;
            },
            problems, progress);
    }
    sortNewestFirst(result, [](const WritePlace& place) { return place.time; });
    return result;
}

QList<JournalFolder::WritePlace> JournalFolder::writePlaces(const QString& serialNumber, QStringList* problems) const
{
    return placesOf(serialNumber, &JournalRecord::checkedHeadFromJsonLine, problems, nullptr);
}

QList<JournalFolder::WritePlace> JournalFolder::indexWrites(const QString& serialNumber, QStringList* problems,
                                                            ProgressReporter* progress) const
{
    return placesOf(serialNumber, &JournalRecord::headFromJsonLine, problems, progress);
}

RecordedWrite JournalFolder::load(const WritePlace& place) const
{
    RecordedWrite write;
    QFile file;
    QString why;
    if (RegularFile::open(file, filePath(place.serialNumber), RegularFile::Read, why) != RegularFile::Opened)
        return write;
    for (int i = 0; i < place.offsets.size(); ++i) {
        JournalRecord record;
        if (!file.seek(place.offsets.at(i)))
            return RecordedWrite();
        LineReader lines(file);
        QByteArray line;
        qint64 at = 0;
        if (!lines.next(line, at) || !JournalRecord::fromJsonLine(line, record))
            return RecordedWrite();
        record.confirmed = record.intent == 0 || place.confirmed.value(i);
        write.add(record);
    }
    return write;
}

RecordedWrite JournalFolder::findWrite(const QString& writeId, const QString& serialNumber) const
{
    for (const WritePlace& place : writePlaces(serialNumber)) {
        if (place.id == writeId)
            return load(place);
    }
    return RecordedWrite();
}
