#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// What the window looked like when it was last closed, kept in the settings
// file beside the driver's settings string (which it never touches): the
// window's size, place and maximised state, and the column widths of each
// table the user had open, by table number.
class WindowLayout
{
public:
    // The window's geometry as the window itself saved it.
    QByteArray geometry;
    // Column widths in pixels, by table number.
    QHash<int, QList<int>> columnWidths;

    // The layout stored in the file; empty when the file, or a part of it, is
    // missing or cannot be read.
    static WindowLayout load(const QString& path);
    // Empty when stored; otherwise why not.
    QString save(const QString& path) const;
};
