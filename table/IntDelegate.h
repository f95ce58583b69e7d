#pragma once

#include <QStyledItemDelegate>

class RefusalReporter;

// Line editor limited to the field's integer range.
class IntDelegate : public QStyledItemDelegate
{
public:
    // refusals: the view's, which hears what the editors refuse.
    IntDelegate(RefusalReporter& refusals, QObject* parent) : QStyledItemDelegate(parent), m_refusals(refusals) {}
    ~IntDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    // The validator range for a field's bounds: each clamped to the range of
    // int before it is truncated, a missing (NaN) bound open, reversed bounds swapped.
    static void intRange(double min, double max, int& bottom, int& top);

    // Shared with the masked editor: the cell's edit text in and out of a line edit.
    static bool loadLineEdit(QWidget* editor, const QModelIndex& index);
    static bool storeLineEdit(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index);

private:
    RefusalReporter& m_refusals;
};
