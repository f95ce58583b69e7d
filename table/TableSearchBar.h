#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// The bar above a table: a search field with the count of matching rows and
// the choice to show only them, and for tables of numbered rows a row number
// to go to. Esc in the bar closes it; Enter and F3 ask for the next match.
class TableSearchBar : public QWidget
{
    Q_OBJECT

public:
    explicit TableSearchBar(bool withRowNumbers, QWidget* parent = nullptr);

    QLineEdit* searchField() const { return m_search; }
    QSpinBox* rowField() const { return m_row; }
    QString searchText() const;
    bool onlyMatches() const;

    // Shows "Найдено строк: matches из rows"; nothing without a search text.
    void setCount(int matches, int rows);
    void setRowRange(int rows);

signals:
    void searchTextChanged(const QString& text);
    void onlyMatchesChanged(bool on);
    void nextRequested();
    void rowRequested(int number);
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_search;
    QLabel* m_count;
    QCheckBox* m_onlyMatches;
    QSpinBox* m_row = nullptr;
};
