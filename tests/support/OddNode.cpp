#include "OddNode.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

bool lookAt(const QString& path, struct stat& info)
{
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

constexpr OddNode::Kind OddNode::Kinds[];

const char* OddNode::name(Kind kind)
{
    switch (kind) {
    case Fifo:
        return "FIFO";
    case LinkOutside:
        return "link to a file outside";
    case Folder:
        return "folder";
    case CharDevice:
        return "character device";
    }
    return "?";
}

OddNode::OddNode(Kind kind, const QString& path) : m_kind(kind), m_path(path)
{
    const QByteArray name = QFile::encodeName(path);
    bool made = false;
    switch (kind) {
    case Fifo:
        made = ::mkfifo(name.constData(), 0600) == 0;
        break;
    case LinkOutside:
        m_target = m_outside.filePath(QStringLiteral("target.txt"));
        made = writeBytes(m_target, m_targetBytes) && QFile::link(m_target, path);
        break;
    case Folder:
        made = ::mkdir(name.constData(), 0700) == 0;
        break;
    case CharDevice:
        if (::geteuid() != 0) {
            m_skip = QStringLiteral("only the superuser makes a device node");
            return;
        }
        made = ::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
        break;
    }
    struct stat info;
    if (!made || !lookAt(path, info)) {
        m_skip = QStringLiteral("could not make the %1 %2").arg(QLatin1String(OddNode::name(kind)), path);
        return;
    }
    m_inode = info.st_ino;
    m_device = info.st_rdev;
}

OddNode::~OddNode()
{
    if (m_kind == Folder)
        ::rmdir(QFile::encodeName(m_path).constData());
    else
        QFile::remove(m_path);
}

QString OddNode::change() const
{
    struct stat info;
    if (!lookAt(m_path, info))
        return QStringLiteral("%1 is gone").arg(m_path);
    const bool sameKind = m_kind == Fifo ? S_ISFIFO(info.st_mode)
        : m_kind == LinkOutside          ? S_ISLNK(info.st_mode)
        : m_kind == Folder               ? S_ISDIR(info.st_mode)
                                         : S_ISCHR(info.st_mode);
    if (!sameKind || info.st_ino != m_inode || info.st_rdev != m_device)
        return QStringLiteral("%1 was replaced").arg(m_path);
    if (m_kind == LinkOutside) {
        if (QFileInfo(m_path).symLinkTarget() != m_target)
            return QStringLiteral("%1 leads elsewhere").arg(m_path);
        if (fileBytes(m_target) != m_targetBytes)
            return QStringLiteral("the link's target was written: %1").arg(QString::fromUtf8(fileBytes(m_target)));
    }
    if (m_kind == Folder && !QDir(m_path).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty())
        return QStringLiteral("something was written into the folder %1").arg(m_path);
    return QString();
}

QString OddNode::refusalWords() const
{
    return m_kind == Folder ? QStringLiteral("это папка") : QStringLiteral("это не обычный файл");
}
