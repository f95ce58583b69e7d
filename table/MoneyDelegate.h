#pragma once

#include <QItemDelegate>

class RefusalReporter;

// Line editor for amounts with two decimals within the field's bounds.
class MoneyDelegate : public QItemDelegate
{
public:
    // refusals: the view's, which hears what the editors refuse.
    MoneyDelegate(RefusalReporter& refusals, QObject* parent) : QItemDelegate(parent), m_refusals(refusals) {}
    ~MoneyDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    RefusalReporter& m_refusals;
};
