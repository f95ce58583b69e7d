#include "RefusalReporter.h"

#include "RefusalWatch.h"

void RefusalReporter::watch(QLineEdit* editor, const FieldInfo& field, const QString& limitText, bool wholeEntry)
{
    if (!editor)
        return;
    auto* watch = new RefusalWatch(editor, field, limitText, wholeEntry);
    connect(watch, &RefusalWatch::refused, this, &RefusalReporter::refused);
}
