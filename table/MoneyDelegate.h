#pragma once

#include <QItemDelegate>

// Line editor for amounts with two decimals within the field's bounds.
class MoneyDelegate : public QItemDelegate
{
public:
    using QItemDelegate::QItemDelegate;
    ~MoneyDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};
