#pragma once

#include <QString>

// Where the programs may write a file: only where a regular file or nothing
// stands, and never through a symbolic link (the write would land on the
// link's target). A FIFO, a device, a folder or a link in the file's place is
// refused and kept as it is. Every writer asks before any work and, where it
// replaces the file by a rename, once more just before the rename.
class WritableTarget
{
public:
    // Empty when a file may be written at path (a regular file or nothing
    // there; a path the system cannot look at is left to the write, which
    // reports the system's reason). Otherwise why not: "это папка", or what
    // stands there, e.g. "именованный канал — это не обычный файл".
    static QString refusal(const QString& path);
    // Raises FileWriteError "<failed> <path>: <why>" when refusal(path) says why not;
    // failed reads e.g. "Не удалось записать снимок ККТ".
    static void require(const QString& path, const QString& failed);

    static QString notRegularText() { return QStringLiteral("это не обычный файл"); }
};
