#pragma once

#include <QStyledItemDelegate>

class RefusalReporter;

// Line editor that follows the field's input mask; a stored value that the
// mask would change is shown as it is, without the mask.
class StringMaskDelegate : public QStyledItemDelegate
{
public:
    // refusals: the view's, which hears what the editors refuse.
    StringMaskDelegate(RefusalReporter& refusals, QObject* parent) : QStyledItemDelegate(parent), m_refusals(refusals) {}
    ~StringMaskDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    RefusalReporter& m_refusals;
};
