#include "ExchangeHarness.h"
#include "support/TestMain.h"
#include "support/UserTyping.h"

#include "dialogs/ReplaceDlg.h"
#include "table/TablePage.h"
#include "table/TableView.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

using namespace exchangetest;

// Ctrl+H on the commodity base, as a user finds and replaces a tax.
class FindReplaceTest : public QObject
{
    Q_OBJECT

private:
    Harness h;

    QStringList taxes(TableModel* model) const
    {
        QStringList texts;
        for (int r = 0; r < model->rowCount(); ++r)
            texts << model->index(r, taxColumn).data().toString();
        return texts;
    }

    static constexpr int taxColumn = 4;

private slots:
    void initTestCase() { h.installHandlers(); }
    void cleanupTestCase() { Harness::removeHandlers(); }
    void init()
    {
        QVERIFY(h.start());
        QVERIFY(h.install(smallRegister(12)));
    }
    void cleanup() { h.stop(); }

    void replaceAllByKeys_data()
    {
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<bool>("refused");
        QTest::newRow("a tax the register has") << "НДС 10%" << false;
        // This register's tax list has no 22 %: nothing changes, the rows are named.
        QTest::newRow("a tax the register does not have") << "НДС 22%" << true;
    }

    void replaceAllByKeys()
    {
        QFETCH(QString, replacement);
        QFETCH(bool, refused);
        QVERIFY(h.readAll());
        QVERIFY(h.selectTable(1));
        auto* page = qobject_cast<TablePage*>(h.tabs()->currentWidget());
        TableModel* model = page->tableModel();
        const QStringList before = taxes(model);
        const int matches = before.count(QStringLiteral("НДС 20%"));
        QVERIFY(matches > 1);

        page->view()->setFocus();
        QTest::keyClick(page->view(), Qt::Key_H, Qt::ControlModifier);
        auto* dialog = h.window->findChild<ReplaceDlg*>(QStringLiteral("replaceDialog"));
        QVERIFY(dialog && dialog->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), dialog->findChild<QLineEdit*>(QStringLiteral("foundField")));
        const auto typeInto = [dialog](const char* name, const QString& text) {
            auto* field = dialog->findChild<QLineEdit*>(QLatin1String(name));
            if (!field->hasFocus())
                QTest::mouseClick(field, Qt::LeftButton);
            typeKeys(field, text);
        };
        typeInto("foundField", QStringLiteral("НДС 20%"));
        typeInto("replacementField", replacement);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("replaceAllButton")), Qt::LeftButton);

        const QString result = dialog->findChild<QLabel*>(QStringLiteral("replaceResult"))->text();
        if (refused) {
            // Nothing changed, and the box names every refused row.
            QCOMPARE(taxes(model), before);
            QCOMPARE(result, QStringLiteral("Замена: ни одна ячейка не изменена"));
            QCOMPARE(h.boxes.size(), 1);
            QCOMPARE(h.boxes.first().text.count(QStringLiteral("\"НДС 22%\" не подходит для поля \"Налог\"")), matches);
            return;
        }
        QCOMPARE(taxes(model).count(replacement), before.count(replacement) + matches);
        QVERIFY(!taxes(model).contains(QStringLiteral("НДС 20%")));
        QVERIFY2(result.startsWith(QStringLiteral("Замена: изменено %1 яче").arg(matches)), qPrintable(result));
        QCOMPARE(h.window->statusText(), result);
        QVERIFY(h.boxes.isEmpty());
        QVERIFY(h.window->windowTitle().endsWith(QLatin1Char('*')));

        // One Ctrl+Z in the window takes the whole replacement back.
        dialog->close();
        // The user is back in the window (offscreen, no window manager hands it back).
        h.window->activateWindow();
        QTRY_VERIFY(h.window->isActiveWindow());
        QTest::keyClick(page->view(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(taxes(model), before);
        QVERIFY(!page->hasMarkedCells());
    }

    // The search filter on: "Заменить все" leaves the rows it hides unless
    // "включая скрытые строки" is ticked, and says how many hidden cells it left or changed.
    void replaceAllWithHiddenRows_data()
    {
        QTest::addColumn<bool>("tick");
        QTest::addColumn<int>("left"); // cells of "НДС 20%" afterwards
        QTest::addColumn<QString>("result");
        QTest::newRow("hidden rows left") << false << 4
                                          << "Замена: изменено 1 ячейка, в скрытых строках не тронуты совпадения: 4";
        QTest::newRow("hidden rows included") << true << 0
                                              << "Замена: изменено 5 ячеек, из них в скрытых строках: 4 ячейки";
    }

    void replaceAllWithHiddenRows()
    {
        QFETCH(bool, tick);
        QFETCH(int, left);
        QFETCH(QString, result);
        QVERIFY(h.readAll());
        QVERIFY(h.selectTable(1));
        auto* page = qobject_cast<TablePage*>(h.tabs()->currentWidget());
        QCOMPARE(taxes(page->tableModel()).count(QStringLiteral("НДС 20%")), 5);

        page->view()->setFocus();
        QTest::keyClick(page->view(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        typeKeys(QApplication::focusWidget(), QStringLiteral("Батон"));
        QTRY_COMPARE(page->view()->model()->rowCount(), 1);

        page->view()->setFocus();
        QTest::keyClick(page->view(), Qt::Key_H, Qt::ControlModifier);
        auto* dialog = h.window->findChild<ReplaceDlg*>(QStringLiteral("replaceDialog"));
        QVERIFY(dialog && dialog->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), dialog->findChild<QLineEdit*>(QStringLiteral("foundField")));
        typeKeys(QApplication::focusWidget(), QStringLiteral("НДС 20%"));
        auto* replacement = dialog->findChild<QLineEdit*>(QStringLiteral("replacementField"));
        QTest::mouseClick(replacement, Qt::LeftButton);
        typeKeys(replacement, QStringLiteral("НДС 10%"));
        auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("hiddenRowsBox"));
        QVERIFY(box && !box->isChecked());
        QCOMPARE(box->text(), QStringLiteral("включая скрытые строки"));
        if (tick)
            QTest::mouseClick(box, Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("replaceAllButton")), Qt::LeftButton);

        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("replaceResult"))->text(), result);
        QCOMPARE(h.window->statusText(), result);
        QCOMPARE(taxes(page->tableModel()).count(QStringLiteral("НДС 20%")), left);
        QCOMPARE(page->view()->model()->rowCount(), 1);
        QVERIFY(h.boxes.isEmpty());
    }
};

VESCOR_TEST(FindReplaceTest)
#include "tst_FindReplace.moc"
