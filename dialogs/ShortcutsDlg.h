#pragma once

#include <QDialog>
#include <QList>

class QAction;

// "Горячие клавиши": every command that has a key, with its keys, in the
// order given. It does not block the window: F1 shows it beside the tables.
class ShortcutsDlg : public QDialog
{
    Q_OBJECT

public:
    ShortcutsDlg(const QList<QAction*>& actions, QWidget* parent = nullptr);

    // The rows shown: the keys as the user reads them, and the command.
    static QList<QPair<QString, QString>> rows(const QList<QAction*>& actions);
};
