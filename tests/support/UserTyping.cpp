#include "UserTyping.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

namespace {

// Letters beyond ASCII come as the text of their key.
void typeKey(QWidget* target, QChar c)
{
    if (c.unicode() < 0x80)
        QTest::keyClick(target, c.toLatin1());
    else
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

} // namespace

void typeKeys(QWidget* first, const QString& text)
{
    for (const QChar c : text)
        typeKey(QApplication::focusWidget() ? QApplication::focusWidget() : first, c);
}

void replaceEditorText(QLineEdit* editor, const QString& text)
{
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Delete);
    for (const QChar c : text)
        typeKey(editor, c);
}

bool typeIntoCell(QAbstractItemView* view, const QModelIndex& index, const QString& text)
{
    view->setCurrentIndex(index);
    view->edit(index);
    auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(index));
    if (!editor)
        return false;
    replaceEditorText(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    return !view->indexWidget(index);
}
