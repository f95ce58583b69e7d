#include "TableSearchBar.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

TableSearchBar::TableSearchBar(bool withRowNumbers, QWidget* parent)
    : QWidget(parent)
    , m_search(new QLineEdit(this))
    , m_count(new QLabel(this))
    , m_onlyMatches(new QCheckBox(QStringLiteral("Только совпадения"), this))
{
    setObjectName(QStringLiteral("searchBar"));
    m_search->setObjectName(QStringLiteral("searchField"));
    // The labels beside the fields are no buddies: a screen reader hears these names.
    m_search->setAccessibleName(QStringLiteral("Найти"));
    m_search->setPlaceholderText(QStringLiteral("Код, наименование, штрихкод..."));
    m_search->setClearButtonEnabled(true);
    m_count->setObjectName(QStringLiteral("searchCount"));
    m_onlyMatches->setObjectName(QStringLiteral("searchOnlyMatches"));
    m_onlyMatches->setChecked(true);

    // The count has a line of its own: beside the field and the row number it
    // would not fit a tab of the smallest window, and a count drawn under the
    // next widget is as good as cut.
    auto* lines = new QVBoxLayout(this);
    lines->setContentsMargins(2, 2, 2, 2);
    lines->setSpacing(2);
    auto* layout = new QHBoxLayout;
    lines->addLayout(layout);
    lines->addWidget(m_count);
    layout->addWidget(new QLabel(QStringLiteral("Найти:"), this));
    m_search->setMinimumWidth(m_search->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
    layout->addWidget(m_search, 1);
    layout->addWidget(m_onlyMatches);
    if (withRowNumbers) {
        m_row = new QSpinBox(this);
        m_row->setObjectName(QStringLiteral("rowField"));
        m_row->setAccessibleName(QStringLiteral("Строка"));
        m_row->setRange(1, 1);
        m_row->setKeyboardTracking(false);
        layout->addWidget(new QLabel(QStringLiteral("Строка:"), this));
        layout->addWidget(m_row);
        m_row->installEventFilter(this);
        // The keys reach the spin box's own line editor.
        if (auto* edit = m_row->findChild<QLineEdit*>())
            edit->installEventFilter(this);
    }
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("searchClose"));
    close->setText(QStringLiteral("✕"));
    close->setToolTip(QStringLiteral("Закрыть поиск (Esc)"));
    close->setAccessibleName(QStringLiteral("Закрыть поиск"));
    close->setAutoRaise(true);
    layout->addWidget(close);

    m_search->installEventFilter(this);
    connect(m_search, &QLineEdit::textChanged, this, &TableSearchBar::searchTextChanged);
    connect(m_onlyMatches, &QCheckBox::toggled, this, &TableSearchBar::onlyMatchesChanged);
    connect(close, &QToolButton::clicked, this, &TableSearchBar::closeRequested);
}

QString TableSearchBar::searchText() const
{
    return m_search->text();
}

bool TableSearchBar::onlyMatches() const
{
    return m_onlyMatches->isChecked();
}

namespace {

QString countText(int matches, int rows)
{
    return QStringLiteral("Найдено строк: %1 из %2").arg(matches).arg(rows);
}

} // namespace

void TableSearchBar::setCount(int matches, int rows)
{
    // The room of the widest count of the table is kept, so that no count is
    // cut and the bar does not shift while the numbers change.
    m_count->setMinimumWidth(m_count->fontMetrics().horizontalAdvance(countText(rows, rows)) + 2);
    m_count->setText(m_search->text().trimmed().isEmpty() ? QString() : countText(matches, rows));
}

void TableSearchBar::setRowRange(int rows)
{
    if (m_row)
        m_row->setRange(1, qMax(1, rows));
}

bool TableSearchBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape) {
        emit closeRequested();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (m_row && (watched == m_row || m_row->isAncestorOf(qobject_cast<QWidget*>(watched)))) {
            m_row->interpretText();
            emit rowRequested(m_row->value());
        } else {
            emit nextRequested();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
