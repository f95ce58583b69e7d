#include "FieldNames.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

bool isField(const QWidget& widget)
{
    return qobject_cast<const QComboBox*>(&widget) || qobject_cast<const QAbstractSpinBox*>(&widget)
        || qobject_cast<const QLineEdit*>(&widget) || qobject_cast<const QAbstractItemView*>(&widget)
        || qobject_cast<const QTextEdit*>(&widget) || qobject_cast<const QPlainTextEdit*>(&widget)
        || qobject_cast<const QAbstractButton*>(&widget);
}

// The line edit of a spin box, the list of a drop-down, the buttons of a
// table's header: parts of a field, named with it.
bool isPartOfField(const QWidget& root, const QWidget& widget)
{
    for (const QWidget* up = widget.parentWidget(); up && up != &root; up = up->parentWidget()) {
        if (isField(*up))
            return true;
    }
    return false;
}

QString cleaned(QString text)
{
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    while (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

// A name that only repeats what the field shows names nothing.
bool namesByValue(const QWidget& field, const QString& name)
{
    if (const auto* box = qobject_cast<const QComboBox*>(&field)) {
        for (int i = 0; i < box->count(); ++i) {
            if (cleaned(box->itemText(i)) == name)
                return true;
        }
    }
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(&field))
        return cleaned(spin->text()) == name;
    return false;
}

} // namespace

QString FieldNames::nameOf(const QWidget& root, const QWidget& field)
{
    Q_UNUSED(root)
    // As the platform's accessibility bridge tells a screen reader: the
    // field's name, else the labels it is labelled by (a buddy's relation).
    // Qt on Linux names a drop-down by its choice whatever its accessible
    // name, so there only a buddy label names it.
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(const_cast<QWidget*>(&field));
    if (!face)
        return QString();
    const QString own = cleaned(face->text(QAccessible::Name));
    if (!own.isEmpty() && !namesByValue(field, own))
        return own;
    for (const auto& relation : face->relations(QAccessible::Label)) {
        const QString label = cleaned(relation.first->text(QAccessible::Name));
        if (!label.isEmpty() && !namesByValue(field, label))
            return label;
    }
    return QString();
}

QStringList FieldNames::unnamed(const QWidget& root)
{
    QStringList found;
    for (const QWidget* widget : root.findChildren<QWidget*>()) {
        if (isField(*widget) && !isPartOfField(root, *widget) && nameOf(root, *widget).isEmpty())
            found << QStringLiteral("%1 (%2)").arg(widget->objectName(), QLatin1String(widget->metaObject()->className()));
    }
    return found;
}
