#include "FieldNames.h"

#include <QAbstractButton>
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
    QString name = cleaned(field.accessibleName());
    if (name.isEmpty()) {
        for (const QLabel* label : root.findChildren<QLabel*>()) {
            if (label->buddy() == &field && !cleaned(label->text()).isEmpty()) {
                name = cleaned(label->text());
                break;
            }
        }
    }
    if (name.isEmpty()) {
        if (const auto* button = qobject_cast<const QAbstractButton*>(&field))
            name = cleaned(button->text());
    }
    return namesByValue(field, name) ? QString() : name;
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
