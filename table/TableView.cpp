#include "TableView.h"

#include "RefusalReporter.h"
#include "RefusalWatch.h"

#include "CellInputCheck.h"
#include "ComboboxDelegate.h"
#include "IntDelegate.h"
#include "MoneyDelegate.h"
#include "StringMaskDelegate.h"
#include "TableLayout.h"
#include "TableModel.h"
#include "TextDelegate.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>

namespace {

constexpr int fixedWidthTable = 1;
constexpr int fixedWidthColumn = 2;

} // namespace

TableView::TableView(const TableInfo& table, QWidget* parent)
    : QTableView(parent)
    , m_table(table)
{
}

TableView::~TableView()
{
    // Deleted while the view is still whole, so that it lets go of the model cleanly.
    delete m_ownedModel.data();
}

void TableView::setModel(QAbstractItemModel* model)
{
    QAbstractItemModel* previous = m_ownedModel.data();
    QTableView::setModel(model);
    if (previous && previous != model) {
        delete previous;
        m_ownedModel.clear();
    }
    if (model && !model->parent())
        m_ownedModel = model;

    setEditTriggers(Triggers);

    // A table of thousands of rows is read in a slightly smaller type than
    // the window's, in rows no higher than its lines.
    QFont compact = QApplication::font(this);
    if (compact.pointSizeF() > 0)
        compact.setPointSizeF(qMax(7.0, compact.pointSizeF() * 0.9));
    setFont(compact);
    QHeaderView* vertical = verticalHeader();
    int rowHeight = compactRowHeight(fontMetrics());
    // A table whose rows are its fields titles each with the field's name,
    // which needs the header's margins above and below its line (descenders
    // included); such tables have a few dozen rows, so none is lost from sight.
    if (!TableLayout(m_table.type).rowsAreDataRows())
        rowHeight = qMax(rowHeight, namedRowHeight(*vertical));
    vertical->setMinimumSectionSize(rowHeight);
    vertical->setDefaultSectionSize(rowHeight);
    vertical->setSectionResizeMode(QHeaderView::Fixed);
    vertical->setResizeContentsPrecision(SampleRows);
    horizontalHeader()->setResizeContentsPrecision(SampleRows);

    auto* comboboxDelegate = new ComboboxDelegate(this);
    // The editors' refusals reach the view through the one reporter its delegates are handed.
    auto* refusals = new RefusalReporter(this);
    connect(refusals, &RefusalReporter::refused, this, &TableView::inputRefused);
    auto* intDelegate = new IntDelegate(*refusals, this);
    auto* moneyDelegate = new MoneyDelegate(*refusals, this);
    auto* stringMaskDelegate = new StringMaskDelegate(*refusals, this);
    auto* textDelegate = new TextDelegate(*refusals, this);

    if (m_table.type != Db && m_table.type != List && m_table.type != TransposedList)
        return;
    for (int i = 0; i < m_table.fields.size(); ++i) {
        QAbstractItemDelegate* delegate = nullptr;
        switch (m_table.fields[i].m_guiType) {
        case FieldInfo::List:
            delegate = comboboxDelegate;
            break;
        case FieldInfo::Int:
            delegate = intDelegate;
            break;
        case FieldInfo::Money:
            delegate = moneyDelegate;
            break;
        case FieldInfo::StringMasked:
            delegate = stringMaskDelegate;
            break;
        case FieldInfo::String:
            delegate = textDelegate;
            break;
        default:
            break;
        }
        if (m_table.type == Db)
            setItemDelegateForColumn(i, delegate);
        else
            setItemDelegateForRow(i, delegate);
    }
}

TableModel* TableView::tableModel() const
{
    QAbstractItemModel* shown = model();
    while (auto* proxy = qobject_cast<QAbstractProxyModel*>(shown))
        shown = proxy->sourceModel();
    return qobject_cast<TableModel*>(shown);
}

int TableView::compactRowHeight(const QFontMetrics& metrics)
{
    return metrics.height() + 1;
}

int TableView::namedRowHeight(const QHeaderView& header)
{
    int height = 0;
    for (int section = 0; section < header.count(); ++section)
        height = qMax(height, header.sectionSizeHint(section));
    return height;
}

bool TableView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // A key typed where no cell was chosen (say, right after the tab was
    // switched to) must not land in a cell the user does not see chosen.
    if (trigger == AnyKeyPressed && (!selectionModel() || !selectionModel()->isSelected(index)))
        return false;
    if (!QTableView::edit(index, trigger, event))
        return false;
    RefusalWatch::watchFirst(indexWidget(index));
    return true;
}

void TableView::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    // Tab gives the view its current cell framed only; it is the cell typing goes to.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        chooseCurrentCell();
}

void TableView::chooseCurrentCell()
{
    if (!model() || !selectionModel())
        return;
    QModelIndex current = currentIndex();
    if (!current.isValid()) {
        current = model()->index(0, 0);
        if (!current.isValid())
            return;
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    }
    if (!selectionModel()->isSelected(current))
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
}

void TableView::keyboardSearch(const QString&)
{
    // Typing edits cells; it never jumps to a row by its first letters.
}

int TableView::fixedColumnWidth() const
{
    if (m_table.id != fixedWidthTable || m_table.fields.size() <= fixedWidthColumn)
        return -1;
    const QFontMetrics metrics(QApplication::font());
    const QString widest = QString::number(m_table.fields[fixedWidthColumn].m_max, 'f', 2);
    return metrics.horizontalAdvance(widest) + metrics.height() / 2;
}

void TableView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);

    horizontalHeader()->setStretchLastSection(false);
    QHeaderView* vertical = verticalHeader();
    QPalette palette = vertical->palette();
    palette.setColor(QPalette::Window, palette.color(palette.currentColorGroup(), QPalette::Light));
    vertical->setPalette(palette);

    if (!m_columnsLaidOut)
        layOutColumns();
}

void TableView::layOutColumns()
{
    QHeaderView* horizontal = horizontalHeader();
    if (horizontal->count() == 0)
        return;
    m_columnsLaidOut = true;
    horizontal->setSectionResizeMode(QHeaderView::Interactive);
    if (m_givenWidths.size() == horizontal->count()) {
        for (int c = 0; c < m_givenWidths.size(); ++c)
            horizontal->resizeSection(c, m_givenWidths[c]);
        return;
    }
    horizontal->resizeSections(QHeaderView::ResizeToContents);
    const int width = fixedColumnWidth();
    if (width >= 0 && horizontal->count() > fixedWidthColumn)
        horizontal->resizeSection(fixedWidthColumn, width);
}

QList<int> TableView::columnWidths() const
{
    if (!m_columnsLaidOut)
        return m_givenWidths;
    QList<int> widths;
    for (int c = 0; c < horizontalHeader()->count(); ++c)
        widths << horizontalHeader()->sectionSize(c);
    return widths;
}

void TableView::setColumnWidths(const QList<int>& widths)
{
    m_givenWidths = widths;
    if (m_columnsLaidOut && widths.size() == horizontalHeader()->count()) {
        for (int c = 0; c < widths.size(); ++c)
            horizontalHeader()->resizeSection(c, widths[c]);
    }
}
