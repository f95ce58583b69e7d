#pragma once

#include "model/FieldInfo.h"

#include <QObject>
#include <QString>

class QLineEdit;

// Watches a cell's line editor for what it refuses and says why: a key the
// editor refuses (its validator's check, or its input mask), and Enter on a
// text it cannot take (emptied, incomplete). A refused key refuses the whole
// entry until the user deletes some of the text: the keys typed around it
// would otherwise join into another value than the one typed ("1e2" as 12).
class RefusalWatch : public QObject
{
    Q_OBJECT

public:
    // `limitText` names what the editor takes, for editors without a check of
    // their own; `wholeEntry`: a refused key refuses the entry (number editors).
    RefusalWatch(QLineEdit* editor, const FieldInfo& field, const QString& limitText, bool wholeEntry);

    // Puts the watch in front of the editor's other event filters (the view's
    // delegate), so that it sees an Enter that they swallow.
    static void watchFirst(QWidget* editor);
    // True when the editor's entry is refused as a whole; says why through refused().
    static bool refusesEntry(QWidget* editor);

signals:
    void refused(const QString& message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keyRefused();
    void textEdited(const QString& text);
    // Why the editor refuses its text as it stands.
    QString why() const;

    QLineEdit* m_editor;
    FieldInfo m_field;
    QString m_limitText;
    bool m_wholeEntry;
    QString m_refusal; // of the key that refused the entry; empty while none does
    int m_length = 0;  // of the text, to see a deletion
    QString m_typed;   // the text of the last key pressed
};
