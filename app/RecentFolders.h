#pragma once

#include <QHash>
#include <QString>

// The folder each kind of file dialog last went to in this run; a dialog
// starts there, or in the user's home folder before the first choice.
// The table files' dialogs (export of one table or all, import) share one
// folder: a file is mostly imported from where it was exported.
// Nothing of it is kept between runs.
class RecentFolders
{
public:
    enum Kind { TableFiles, Snapshot };

    QString start(Kind kind) const;
    // Notes the folder of a chosen path: the path itself for a directory,
    // else the folder that holds the file. An empty path (a cancelled dialog) changes nothing.
    void remember(Kind kind, const QString& chosen, bool isDirectory);

private:
    QHash<int, QString> m_folders;
};
