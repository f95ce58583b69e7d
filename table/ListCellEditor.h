#pragma once

#include <QComboBox>

// The drop-down list a list cell is edited with. Its choice changes only from
// its popup or by typing while it is open: the keys that move through a table
// and the mouse wheel leave it as it is and go on to the table.
class ListCellEditor : public QComboBox
{
public:
    using QComboBox::QComboBox;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};
