#include "ListCellEditor.h"

#include <QKeyEvent>
#include <QWheelEvent>

void ListCellEditor::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        // Alt+Down opens the popup, as in every drop-down list.
        if (event->modifiers() & Qt::AltModifier)
            break;
        event->ignore();
        return;
    default:
        break;
    }
    QComboBox::keyPressEvent(event);
}

void ListCellEditor::wheelEvent(QWheelEvent* event)
{
    event->ignore();
}
