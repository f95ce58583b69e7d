#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "Найти и заменить" (Ctrl+H) for one tab: the text to find, the text to put
// in its place, whether only a whole value matches, and the columns to look
// in. It does not block the window; "Заменить все" asks the tab to replace,
// and the tab's answer is shown under the fields.
class ReplaceDlg : public QDialog
{
    Q_OBJECT

public:
    // The columns by their titles, every one chosen.
    ReplaceDlg(const QStringList& columns, QWidget* parent = nullptr);

    QString foundText() const;
    QString replacementText() const;
    bool wholeValue() const;
    // Whether the rows the tab's search filter hides are replaced too.
    bool includesHiddenRows() const;
    // The chosen columns by number, in order.
    QList<int> chosenColumns() const;

    // What the last replacement did, as the tab said it.
    void showResult(const QString& text);

signals:
    void replaceAllRequested();

private:
    QLineEdit* m_found;
    QLineEdit* m_replacement;
    QCheckBox* m_wholeValue;
    QCheckBox* m_hiddenRows;
    QListWidget* m_columns;
    QLabel* m_result;
};
