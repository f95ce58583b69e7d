#include "RecentFolders.h"

#include <QDir>
#include <QFileInfo>

QString RecentFolders::start(Kind kind) const
{
    return m_folders.value(kind, QDir::homePath());
}

void RecentFolders::remember(Kind kind, const QString& chosen, bool isDirectory)
{
    if (chosen.isEmpty())
        return;
    m_folders.insert(kind, isDirectory ? QDir::cleanPath(chosen) : QFileInfo(chosen).absolutePath());
}
