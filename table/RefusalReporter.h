#pragma once

#include "model/FieldInfo.h"

#include <QObject>
#include <QString>

class QLineEdit;

// What the cell editors of one view refuse, and why, for the view to tell:
// the view hands it to its delegates, each line editor they make is watched
// through it, and the view hears refused().
class RefusalReporter : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Has editor report why it refused a key or Enter, as its validator's
    // check says or else `limitText`; see RefusalWatch for `wholeEntry`.
    void watch(QLineEdit* editor, const FieldInfo& field, const QString& limitText = QString(),
               bool wholeEntry = false);

signals:
    void refused(const QString& message);
};
