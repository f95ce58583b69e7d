#pragma once

#include <QStyledItemDelegate>

class RefusalReporter;

// Line editor for text fields that refuses, as they are typed, the texts the
// register cannot store: too long, or with a character it has no code for.
class TextDelegate : public QStyledItemDelegate
{
public:
    // refusals: the view's, which hears what the editors refuse.
    TextDelegate(RefusalReporter& refusals, QObject* parent) : QStyledItemDelegate(parent), m_refusals(refusals) {}
    ~TextDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    RefusalReporter& m_refusals;
};
