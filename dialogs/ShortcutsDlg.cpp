#include "ShortcutsDlg.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

ShortcutsDlg::ShortcutsDlg(const QList<QAction*>& actions, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("shortcutsDialog"));
    setWindowTitle(QStringLiteral("Горячие клавиши"));
    const QList<QPair<QString, QString>> list = rows(actions);
    auto* table = new QTableWidget(list.size(), 2, this);
    table->setObjectName(QStringLiteral("shortcutsTable"));
    table->setAccessibleName(windowTitle());
    table->setHorizontalHeaderLabels({QStringLiteral("Клавиши"), QStringLiteral("Команда")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int r = 0; r < list.size(); ++r) {
        table->setItem(r, 0, new QTableWidgetItem(list[r].first));
        table->setItem(r, 1, new QTableWidgetItem(list[r].second));
    }
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
    table->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addWidget(buttons);
    // Wide enough for every command's text, in whatever type and scale, and
    // never wider than the screen.
    const QMargins margins = layout->contentsMargins();
    const int wanted = table->horizontalHeader()->length() + 2 * table->frameWidth()
        + table->verticalScrollBar()->sizeHint().width() + margins.left() + margins.right();
    const QScreen* shown = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int room = shown ? shown->availableGeometry().width() * 9 / 10 : wanted;
    resize(qMin(qMax(520, wanted), room), 560);
}

QList<QPair<QString, QString>> ShortcutsDlg::rows(const QList<QAction*>& actions)
{
    QList<QPair<QString, QString>> list;
    for (const QAction* action : actions) {
        if (!action || action->shortcuts().isEmpty())
            continue;
        QStringList keys;
        for (const QKeySequence& key : action->shortcuts())
            keys << key.toString(QKeySequence::NativeText);
        QString text = action->text();
        text.remove(QLatin1Char('&'));
        list.append({keys.join(QStringLiteral(", ")), text});
    }
    return list;
}
