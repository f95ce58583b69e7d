#pragma once

#include "FieldInfo.h"

#include <QByteArray>
#include <QString>

// The text a cell of a field shows for a stored value, in the tabs, the
// journal dialog and the reports alike: list names for codes, roubles for
// kopecks, zero-filled numbers at their width (null for such a number that is 0).
class ShownText
{
public:
    static QString of(const FieldInfo& field, const QByteArray& stored);
    // The same when the stored text is already at hand as a QString.
    static QString of(const FieldInfo& field, const QByteArray& stored, const QString& text);
};
