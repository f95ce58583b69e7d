#include "TablePage.h"

#include "CellBatch.h"
#include "CellBlockCommand.h"
#include "CellEditCommand.h"
#include "CellReplace.h"
#include "TableFilterModel.h"
#include "TableModel.h"
#include "TableSearchBar.h"
#include "TableView.h"
#include "SpreadsheetNumber.h"
#include "TsvBlock.h"
#include "ValueChange.h"

#include "dialogs/MessageBox.h"
#include "dialogs/ReplaceDlg.h"
#include "dialogs/ValueChangeDlg.h"
#include "common/RussianPlural.h"
#include "device/ValueCheck.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QToolTip>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMap>
#include <QMimeData>
#include <QMenu>
#include <QSet>
#include <QSpinBox>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

TablePage::TablePage(const TableInfo& table, const DataRows& rows, QWidget* parent)
    : QWidget(parent)
    , m_model(new TableModel(table, rows))
    , m_filter(new TableFilterModel)
    , m_view(new TableView(table, this))
    , m_searchBar(new TableSearchBar(table.type == Db, this))
    , m_undoStack(new QUndoStack(this))
    , m_searchPause(new QTimer(this))
{
    m_searchPause->setSingleShot(true);
    m_searchPause->setInterval(SearchPause);
    connect(m_searchPause, &QTimer::timeout, this, &TablePage::applySearch);
    // The page keeps the table model; the view keeps the filter model over it.
    m_model->setParent(this);
    m_model->setUndoStack(m_undoStack);
    m_filter->setSourceModel(m_model);
    // The search's index is gathered while the user looks at the rows, so that no key typed waits for it.
    m_filter->indexInSteps();
    m_view->setModel(m_filter);
    m_searchBar->hide();
    m_searchBar->setRowRange(m_model->rowCount());

    auto* column = new QVBoxLayout(this);
    column->setObjectName(QStringLiteral("pageLayout"));
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_searchBar);
    auto* layout = new QHBoxLayout;
    layout->setObjectName(QStringLiteral("horizontalLayout"));
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    column->addLayout(layout);

    connect(m_model, &TableModel::marksChanged, this, [this] { emit marksChanged(hasMarkedCells()); });
    connect(m_model, &TableModel::displayError, this, &TablePage::statusMessage);
    connect(m_model, &TableModel::editRefused, this, &TablePage::statusMessage);
    connect(m_view, &TableView::inputRefused, this, &TablePage::statusMessage);
    // The reason of a refusal is also shown whole where the user looks: at the cell.
    connect(m_model, &TableModel::editRefused, this, &TablePage::showRefusalAtCell);
    connect(m_view, &TableView::inputRefused, this, &TablePage::showRefusalAtCell);
    connect(m_searchBar, &TableSearchBar::searchTextChanged, m_searchPause, qOverload<>(&QTimer::start));
    connect(m_searchBar, &TableSearchBar::onlyMatchesChanged, this, [this](bool on) {
        m_filter->setFiltering(on);
        updateCount();
    });
    connect(m_searchBar, &TableSearchBar::nextRequested, this, &TablePage::findNext);
    connect(m_searchBar, &TableSearchBar::rowRequested, this, &TablePage::goToRow);
    connect(m_searchBar, &TableSearchBar::closeRequested, this, &TablePage::closeSearch);

    QAction* undo = m_undoStack->createUndoAction(this, QStringLiteral("&Отменить"));
    undo->setObjectName(QStringLiteral("undoAction"));
    undo->setShortcuts(QKeySequence::Undo);
    QAction* redo = m_undoStack->createRedoAction(this, QStringLiteral("&Повторить"));
    redo->setObjectName(QStringLiteral("redoAction"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* action : {undo, redo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        m_menuActions << action;
    }
    m_menuActions << nullptr;
    connect(addPageAction("revertCellsAction", QStringLiteral("Вернуть п&рочитанное значение"),
                          {QKeySequence(Qt::CTRL | Qt::Key_R)}),
            &QAction::triggered, this, &TablePage::revertSelectedCells);
    connect(addPageAction("revertTableAction", QStringLiteral("Вернуть вс&ю таблицу"),
                          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)}),
            &QAction::triggered, this, &TablePage::revertTable);
    m_menuActions << nullptr;
    connect(addPageAction("copyAction", QStringLiteral("&Копировать"), QKeySequence::keyBindings(QKeySequence::Copy)),
            &QAction::triggered, this, &TablePage::copySelection);
    connect(addPageAction("pasteAction", QStringLiteral("&Вставить"), QKeySequence::keyBindings(QKeySequence::Paste)),
            &QAction::triggered, this, &TablePage::pasteClipboard);
    connect(addPageAction("fillDownAction", QStringLiteral("&Заполнить вниз"), {QKeySequence(Qt::CTRL | Qt::Key_D)}),
            &QAction::triggered, this, &TablePage::fillDown);
    connect(addPageAction("valueChangeAction", QStringLiteral("&Изменить значения…"), {QKeySequence(Qt::CTRL | Qt::Key_M)}),
            &QAction::triggered, this, &TablePage::openValueChange);
    m_menuActions << nullptr;
    connect(addPageAction("replaceAction", QStringLiteral("Найти и за&менить"), {QKeySequence(Qt::CTRL | Qt::Key_H)}),
            &QAction::triggered, this, &TablePage::openReplace);
    connect(addPageAction("findAction", QStringLiteral("&Найти"), {QKeySequence::Find}), &QAction::triggered, this,
            &TablePage::openSearch);
    connect(addPageAction("findNextAction", QStringLiteral("Найти &следующее"), {QKeySequence(Qt::Key_F3)}),
            &QAction::triggered, this, &TablePage::findNext);
    if (table.type == Db) {
        connect(addPageAction("goToRowAction", QStringLiteral("Перейти к с&троке"), {QKeySequence(Qt::CTRL | Qt::Key_G)}),
                &QAction::triggered, this, &TablePage::openGoToRow);
    }

    // In the context menu of a table compared with a snapshot only.
    m_snapshotActions << addPageAction("acceptSnapshotRowsAction", QStringLiteral("Принять зн&ачения снимка"), {});
    connect(m_snapshotActions.last(), &QAction::triggered, this, &TablePage::acceptSnapshotRows);
    m_snapshotActions << addPageAction("acceptSnapshotTableAction",
                                       QStringLiteral("Принять значения снимка во вс&ей таблице"), {});
    connect(m_snapshotActions.last(), &QAction::triggered, this, &TablePage::acceptSnapshotTable);

    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, &TablePage::showContextMenu);
}

TablePage::~TablePage()
{
    // The commands refer to the model; they go first.
    m_undoStack->clear();
}

QAction* TablePage::addPageAction(const char* objectName, const QString& text, const QList<QKeySequence>& keys)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1String(objectName));
    action->setShortcuts(keys);
    // Only the page in sight takes the keys: the hidden pages' actions do not match.
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    m_menuActions << action;
    return action;
}

bool TablePage::hasMarkedCells() const
{
    return m_model->hasChangedCells();
}

void TablePage::showContextMenu(const QPoint& position)
{
    QMenu menu(this);
    for (QAction* action : m_menuActions) {
        if (m_snapshotActions.contains(action))
            continue;
        if (action)
            menu.addAction(action);
        else
            menu.addSeparator();
    }
    if (!m_model->knowsRegisterRows() && !m_importActions.isEmpty()) {
        menu.addSeparator();
        menu.addActions(m_importActions);
    }
    if (m_model->comparedWithSnapshot()) {
        menu.addSeparator();
        menu.addActions(m_snapshotActions);
    }
    menu.exec(m_view->viewport()->mapToGlobal(position));
}

void TablePage::openSearch()
{
    // What the steps have not gathered yet is gathered now, before the first key.
    m_filter->completeIndex();
    m_searchBar->show();
    m_searchBar->searchField()->setFocus(Qt::ShortcutFocusReason);
    m_searchBar->searchField()->selectAll();
    updateCount();
}

void TablePage::closeSearch()
{
    const QModelIndex current = m_filter->mapToSource(m_view->currentIndex());
    m_searchBar->searchField()->clear();
    applyPendingSearch();
    m_searchBar->hide();
    if (current.isValid()) {
        const QModelIndex shown = m_filter->mapFromSource(current);
        m_view->setCurrentIndex(shown);
        m_view->scrollTo(shown);
    }
    m_view->setFocus(Qt::OtherFocusReason);
}

void TablePage::applyPendingSearch()
{
    if (!m_searchPause->isActive())
        return;
    m_searchPause->stop();
    applySearch();
}

void TablePage::applySearch()
{
    const QModelIndex current = m_filter->mapToSource(m_view->currentIndex());
    m_filter->setSearchText(m_searchBar->searchText());
    updateCount();
    QModelIndex shown = m_filter->mapFromSource(current);
    if (!shown.isValid() && current.isValid()) {
        // The current row is hidden now: the first row shown after it (or the
        // last one) becomes current, as when rows are taken out of a view.
        int low = 0;
        int high = m_filter->rowCount();
        while (low < high) {
            const int middle = (low + high) / 2;
            if (m_filter->mapToSource(m_filter->index(middle, 0)).row() < current.row())
                low = middle + 1;
            else
                high = middle;
        }
        shown = m_filter->index(qMin(low, m_filter->rowCount() - 1), current.column());
        if (shown.isValid())
            m_view->selectionModel()->setCurrentIndex(shown, QItemSelectionModel::ClearAndSelect);
    }
    if (shown.isValid())
        m_view->scrollTo(shown);
}

void TablePage::updateCount()
{
    m_searchBar->setCount(m_filter->matchCount(), m_model->rowCount());
}

void TablePage::findNext()
{
    applyPendingSearch();
    const int rows = m_model->rowCount();
    if (rows == 0)
        return;
    const QModelIndex current = m_filter->mapToSource(m_view->currentIndex());
    const int start = current.isValid() ? current.row() : -1;
    for (int step = 1; step <= rows; ++step) {
        const int row = (start + step) % rows;
        if (m_filter->rowMatches(row) && m_filter->mapFromSource(m_model->index(row, 0)).isValid()) {
            showSourceRow(row);
            return;
        }
    }
}

void TablePage::showSourceRow(int sourceRow)
{
    const QModelIndex current = m_filter->mapToSource(m_view->currentIndex());
    const int column = current.isValid() ? current.column() : 0;
    const QModelIndex shown = m_filter->mapFromSource(m_model->index(sourceRow, column));
    if (!shown.isValid())
        return;
    m_view->selectionModel()->setCurrentIndex(shown, QItemSelectionModel::ClearAndSelect);
    m_view->scrollTo(shown, QAbstractItemView::PositionAtCenter);
}

void TablePage::openGoToRow()
{
    m_searchBar->show();
    if (QSpinBox* row = m_searchBar->rowField()) {
        row->setFocus(Qt::ShortcutFocusReason);
        row->selectAll();
    }
}

void TablePage::goToRow(int number)
{
    const int row = number - 1;
    if (row < 0 || row >= m_model->rowCount())
        return;
    // A row the search hides is shown again: the search is cleared.
    if (!m_filter->mapFromSource(m_model->index(row, 0)).isValid()) {
        m_searchBar->searchField()->clear();
        applyPendingSearch();
    }
    showSourceRow(row);
    m_view->setFocus(Qt::OtherFocusReason);
}

void TablePage::revertSelectedCells()
{
    QList<QPair<int, int>> cells;
    for (const QModelIndex& index : m_view->selectionModel()->selectedIndexes()) {
        int row = 0;
        int column = 0;
        if (m_model->cellOfIndex(m_filter->mapToSource(index), row, column))
            cells.append({row, column});
    }
    revertCells(cells, QStringLiteral("Вернуть прочитанное значение"));
}

void TablePage::revertTable()
{
    QList<QPair<int, int>> cells;
    const DataRows& rows = m_model->tableData();
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size(); ++c)
            cells.append({r, c});
    }
    revertCells(cells, QStringLiteral("Вернуть всю таблицу"));
}

void TablePage::revertCells(const QList<QPair<int, int>>& cells, const QString& text)
{
    auto command = std::make_unique<QUndoCommand>(text);
    for (const auto& cell : cells) {
        if (!m_model->isEdited(cell.first, cell.second))
            continue;
        new CellEditCommand(m_model, cell.first, cell.second, m_model->tableData()[cell.first][cell.second].value,
                            m_model->readValue(cell.first, cell.second), command.get());
    }
    if (command->childCount() > 0)
        m_undoStack->push(command.release());
}

void TablePage::acceptSnapshotRows()
{
    QSet<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedIndexes()) {
        int row = 0;
        int column = 0;
        if (m_model->cellOfIndex(m_filter->mapToSource(index), row, column))
            rows.insert(row);
    }
    if (!rows.isEmpty())
        acceptSnapshotValues(rows);
}

void TablePage::acceptSnapshotTable()
{
    acceptSnapshotValues({});
}

void TablePage::acceptSnapshotValues(const QSet<int>& rows)
{
    QVector<StoredCell> before;
    QVector<StoredCell> after;
    for (const StoredCell& cell : m_model->snapshotDifferences()) {
        if (!rows.isEmpty() && !rows.contains(cell.row))
            continue;
        if (!(m_model->flags(m_model->indexOfCell(cell.row, cell.column)) & Qt::ItemIsEditable))
            continue;
        before.append({cell.row, cell.column, m_model->tableData()[cell.row][cell.column].value});
        after.append(cell);
    }
    if (after.isEmpty())
        return;
    m_undoStack->push(new CellBlockCommand(m_model, before, after, QStringLiteral("Принять значения снимка")));
}

void TablePage::showRefusalAtCell(const QString& message)
{
    const QRect cell = m_view->visualRect(m_view->currentIndex());
    QToolTip::showText(m_view->viewport()->mapToGlobal(cell.bottomLeft()), message, m_view->viewport());
}

void TablePage::copySelection()
{
    const QModelIndexList selected = m_view->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    int top = selected.first().row();
    int bottom = top;
    int left = selected.first().column();
    int right = left;
    for (const QModelIndex& index : selected) {
        top = qMin(top, index.row());
        bottom = qMax(bottom, index.row());
        left = qMin(left, index.column());
        right = qMax(right, index.column());
    }
    QVector<QStringList> rows(bottom - top + 1, QStringList());
    for (QStringList& row : rows) {
        for (int c = left; c <= right; ++c)
            row << QString();
    }
    for (const QModelIndex& index : selected)
        rows[index.row() - top][index.column() - left] = index.data(Qt::DisplayRole).toString();
    QGuiApplication::clipboard()->setText(TsvBlock::format(rows));
}

void TablePage::pasteClipboard()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    QString text = clipboard->text();
    // A platform may hand the text over cut at its first NUL, dropping the
    // rest unseen; its plain bytes still hold the whole, which the paste refuses.
    if (const QMimeData* data = clipboard->mimeData(); data && ValueCheck::nulReason(text).isEmpty()) {
        for (const QString& format : {QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("text/plain")}) {
            const QByteArray bytes = data->hasFormat(format) ? data->data(format) : QByteArray();
            if (!ValueCheck::nulReason(bytes).isEmpty()) {
                text = QString::fromUtf8(bytes.constData(), bytes.size());
                break;
            }
        }
    }
    pasteText(text);
}

bool TablePage::refusesNul(const QVector<QStringList>& block, int top, int left, const QString& title)
{
    CellBatch batch(m_model);
    int outside = 0;
    for (int r = 0; r < block.size(); ++r) {
        for (int c = 0; c < block[r].size(); ++c) {
            const QString why = ValueCheck::nulReason(block[r][c]);
            if (why.isEmpty())
                continue;
            const QModelIndex index = m_filter->index(top + r, left + c);
            if (index.isValid())
                batch.refuse(index, block[r][c], why);
            else
                ++outside;
        }
    }
    if (!batch.refused() && outside == 0)
        return false;
    QStringList lines;
    if (batch.refused())
        lines << batch.problem();
    if (outside > 0)
        lines << QStringLiteral("За краем таблицы: %1").arg(ValueCheck::nulReason(QString(QChar(0))));
    MessageBox::warning(window(), title,
                        QStringLiteral("%1: ни одна ячейка не изменена.\n%2").arg(title, lines.join(QLatin1Char('\n'))));
    return true;
}

void TablePage::pasteText(const QString& text)
{
    const QVector<QStringList> block = TsvBlock::parse(text);
    if (block.isEmpty())
        return;
    const QModelIndex current = m_view->currentIndex();
    const int top = current.isValid() ? current.row() : 0;
    const int left = current.isValid() ? current.column() : 0;
    const int rows = m_filter->rowCount();
    const int columns = m_filter->columnCount();

    const int cutRows = qMax(0, top + block.size() - rows);
    int cutColumns = 0;
    for (const QStringList& texts : block)
        cutColumns = qMax(cutColumns, left + texts.size() - columns);
    const QString title = QStringLiteral("Вставка");
    if (refusesNul(block, top, left, title))
        return;
    QString cut;
    if (cutRows > 0 || cutColumns > 0) {
        QStringList parts;
        if (cutRows > 0)
            parts << RussianPlural::count(cutRows, QStringLiteral("строка"), QStringLiteral("строки"), QStringLiteral("строк"));
        if (cutColumns > 0)
            parts << RussianPlural::count(cutColumns, QStringLiteral("столбец"), QStringLiteral("столбца"),
                                          QStringLiteral("столбцов"));
        cut = parts.join(QStringLiteral(" и "));
        if (!MessageBox::question(window(), title,
                                  QStringLiteral("Блок не помещается в таблицу: за ее краем остаются %1.\n"
                                                 "Вставить часть, которая помещается?")
                                      .arg(cut))) {
            emit statusMessage(QStringLiteral("Вставка отменена"));
            return;
        }
    }

    CellBatch batch(m_model);
    for (int r = 0; r < block.size() && top + r < rows; ++r) {
        const QStringList& texts = block[r];
        for (int c = 0; c < texts.size() && left + c < columns; ++c) {
            const QModelIndex index = m_filter->index(top + r, left + c);
            const FieldInfo* field = m_model->fieldForIndex(m_filter->mapToSource(index));
            const bool number = field && (field->m_guiType == FieldInfo::Int || field->m_guiType == FieldInfo::Money);
            if (!batch.add(index, number ? SpreadsheetNumber::ungrouped(texts[c]) : texts[c]))
                break;
        }
        if (batch.refused())
            break;
    }
    if (!applyBatch(batch, title))
        return;
    if (!cut.isEmpty())
        emit statusMessage(QStringLiteral("Вставка обрезана по краю таблицы, не поместились %1").arg(cut));
}

void TablePage::fillDown()
{
    // The rows of each selected column as the view shows them, whichever way
    // the selection was made; the current cell when nothing is selected.
    QMap<int, QVector<int>> rowsOfColumn;
    for (const QModelIndex& index : m_view->selectionModel()->selectedIndexes())
        rowsOfColumn[index.column()].append(index.row());
    const QModelIndex current = m_view->currentIndex();
    if (rowsOfColumn.isEmpty() && current.isValid())
        rowsOfColumn[current.column()].append(current.row());

    CellBatch batch(m_model);
    for (auto it = rowsOfColumn.begin(); it != rowsOfColumn.end(); ++it) {
        QVector<int>& rows = it.value();
        std::sort(rows.begin(), rows.end());
        // The top cell goes into the cells below it; a single cell takes the one above.
        const int from = rows.size() == 1 ? rows.first() - 1 : rows.first();
        if (from < 0)
            continue;
        const QString text = m_filter->index(from, it.key()).data(Qt::EditRole).toString();
        for (int row : rows) {
            if (row != from)
                batch.add(m_filter->index(row, it.key()), text);
        }
    }
    applyBatch(batch, QStringLiteral("Заполнение вниз"));
}

QModelIndexList TablePage::valueChangeCells(int scope) const
{
    const int column = m_view->currentIndex().column();
    QModelIndexList cells;
    switch (ValueChangeDlg::Scope(scope)) {
    case ValueChangeDlg::SelectedCells:
        for (const QModelIndex& index : m_view->selectionModel()->selectedIndexes())
            cells << m_filter->mapToSource(index);
        break;
    case ValueChangeDlg::ShownRows:
        for (int r = 0; r < m_filter->rowCount(); ++r)
            cells << m_filter->mapToSource(m_filter->index(r, column));
        break;
    case ValueChangeDlg::WholeColumn:
        for (int r = 0; r < m_model->rowCount(); ++r)
            cells << m_model->index(r, column);
        break;
    }
    QModelIndexList numbers;
    for (const QModelIndex& cell : cells) {
        const FieldInfo* field = m_model->fieldForIndex(cell);
        if (field && ValueChange::appliesTo(*field))
            numbers << cell;
    }
    return numbers;
}

void TablePage::openValueChange()
{
    const QModelIndex current = m_filter->mapToSource(m_view->currentIndex());
    const FieldInfo* field = current.isValid() ? m_model->fieldForIndex(current) : nullptr;
    if (!field || !ValueChange::appliesTo(*field)) {
        emit statusMessage(QStringLiteral("Изменить значения можно только в числовых и денежных полях"));
        return;
    }
    const ValueChangeDlg::Counts counts{int(valueChangeCells(ValueChangeDlg::SelectedCells).size()),
                                        int(valueChangeCells(ValueChangeDlg::ShownRows).size()),
                                        int(valueChangeCells(ValueChangeDlg::WholeColumn).size())};
    auto* dialog = new ValueChangeDlg(field->m_name, field->m_guiType == FieldInfo::Money, counts, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { changeValues(dialog->change(), valueChangeCells(dialog->scope())); });
    dialog->open();
}

QString TablePage::changeValues(const ValueChange& change, const QModelIndexList& cells)
{
    CellBatch batch(m_model);
    for (const QModelIndex& cell : cells) {
        const FieldInfo* field = m_model->fieldForIndex(cell);
        const QString shown = cell.data(Qt::EditRole).toString();
        QString result;
        QString why;
        if (!field || !ValueChange::appliesTo(*field))
            continue;
        if (change.apply(*field, shown, result, why))
            batch.add(cell, result);
        else
            batch.refuse(cell, shown, why);
    }
    QString status;
    if (!applyBatch(batch, QStringLiteral("Изменение значений"), &status))
        status = QStringLiteral("Изменение значений: ни одна ячейка не изменена");
    return status;
}

void TablePage::openReplace()
{
    if (!m_replaceDialog) {
        QStringList columns;
        for (int c = 0; c < m_model->columnCount(); ++c) {
            const QString title = m_model->headerData(c, Qt::Horizontal).toString();
            columns << (title.isEmpty() ? QStringLiteral("Значение") : title);
        }
        m_replaceDialog = new ReplaceDlg(columns, this);
        connect(m_replaceDialog, &ReplaceDlg::replaceAllRequested, this, &TablePage::replaceFromDialog);
    }
    m_replaceDialog->show();
    m_replaceDialog->raise();
    m_replaceDialog->activateWindow();
}

void TablePage::replaceFromDialog()
{
    const CellReplace replace(m_replaceDialog->foundText(), m_replaceDialog->replacementText(),
                              m_replaceDialog->wholeValue(), m_replaceDialog->includesHiddenRows());
    m_replaceDialog->showResult(replaceAll(replace, m_replaceDialog->chosenColumns()));
}

QString TablePage::replaceAll(const CellReplace& replace, const QList<int>& columns)
{
    const QString title = QStringLiteral("Замена");
    CellBatch batch(m_model);
    const CellReplace::Found found = replace.addTo(batch, *m_model, columns, [this](int row) {
        return !m_filter->mapFromSource(m_model->index(row, 0)).isValid();
    });
    const auto cells = [](int count) {
        return RussianPlural::count(count, QStringLiteral("ячейка"), QStringLiteral("ячейки"), QStringLiteral("ячеек"));
    };
    QString note;
    if (found.hiddenChanged > 0)
        note = QStringLiteral(", из них в скрытых строках: %1").arg(cells(found.hiddenChanged));
    else if (found.hiddenLeft > 0)
        note = QStringLiteral(", в скрытых строках не тронуты совпадения: %1").arg(found.hiddenLeft);
    QString status;
    if (found.matches == 0) {
        status = QStringLiteral("%1: совпадений не найдено").arg(title) + note;
        emit statusMessage(status);
    } else if (!applyBatch(batch, title, &status, note)) {
        status = QStringLiteral("%1: ни одна ячейка не изменена").arg(title);
    }
    return status;
}

bool TablePage::applyBatch(CellBatch& batch, const QString& title, QString* shown, const QString& note)
{
    if (batch.refused()) {
        MessageBox::warning(window(), title,
                            QStringLiteral("%1: ни одна ячейка не изменена.\n%2")
                                .arg(title, batch.problem()));
        return false;
    }
    const int changed = batch.changeCount();
    if (CellBlockCommand* command = batch.takeCommand(title))
        m_undoStack->push(command);
    QString status = QStringLiteral("%1: изменено %2").arg(title, RussianPlural::count(changed, QStringLiteral("ячейка"),
                                                                                     QStringLiteral("ячейки"),
                                                                                     QStringLiteral("ячеек")));
    if (batch.readOnlyCount() > 0)
        status += QStringLiteral(", ячейки только для чтения не тронуты: %1").arg(batch.readOnlyCount());
    status += note;
    emit statusMessage(status);
    if (shown)
        *shown = status;
    return true;
}
