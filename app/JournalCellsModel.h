#pragma once

#include "journal/RecordedWrite.h"

#include <QAbstractTableModel>
#include <QVector>

#include <functional>

class FieldInfo;

// The cells of one write as "Журнал изменений" lists them: table, row, field,
// the values before and after as the tabs show them (the stored form on the
// tooltip where it differs). A text is made when the view asks for it, so a
// write of a whole commodity base shows as quickly as one of a few cells.
class JournalCellsModel : public QAbstractTableModel
{
public:
    // The field of a journal cell; nullptr when no description has it.
    using FieldOf = std::function<const FieldInfo*(const JournalRecord&, const JournalRecord::CellChange&)>;

    explicit JournalCellsModel(const FieldOf& fieldOf, QObject* parent = nullptr);

    // The cells of the write, the committed tables first.
    void setWrite(const RecordedWrite& write);
    // One row saying why the chosen write's cells are not shown; `where` on its tooltip.
    void setUnread(const QString& why, const QString& where);
    void clear();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVariant cellData(int row, int column, int role) const;

    FieldOf m_fieldOf;
    QList<JournalRecord> m_records;
    QVector<int> m_firstRows; // of each record
    int m_rowCount = 0;
    QString m_unread;
    QString m_unreadWhere;
};
