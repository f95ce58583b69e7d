#pragma once

// Typing as a user does, key by key, into editors and table cells.

#include <QString>

class QAbstractItemView;
class QLineEdit;
class QModelIndex;
class QWidget;

// Types the text key by key into the widget with focus, or into `first` while
// none has it (the first key may open an editor that takes the rest); letters
// beyond ASCII come as the text of their key.
void typeKeys(QWidget* first, const QString& text);
// Selects all of the editor's text, deletes it and types the new text.
void replaceEditorText(QLineEdit* editor, const QString& text);
// Opens the cell's line editor, types the text over its value and confirms it
// with Enter. False when the cell opens no line editor or the editor stays
// open (the view refused the text).
bool typeIntoCell(QAbstractItemView* view, const QModelIndex& index, const QString& text);
