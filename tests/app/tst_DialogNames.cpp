#include "support/EmulatorImage.h"
#include "support/FieldNames.h"
#include "support/TestMain.h"

#include "app/JournalDlg.h"
#include "app/MainWindow.h"
#include "device/KKT_Logic.h"
#include "dialogs/ReplaceDlg.h"
#include "dialogs/SettingsDlg.h"
#include "dialogs/ShortcutsDlg.h"
#include "journal/JournalFolder.h"
#include "table/TableSearchBar.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using OpenDialog = std::function<QWidget*(MainWindow&, const QString& folder)>;
Q_DECLARE_METATYPE(OpenDialog)

// A screen reader names every field of every dialog of the window, and of the
// search bar over a table: one walk over them all.
class DialogNamesTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        EmulatorImage::defaultImage().install(m_dir);
    }

    void cleanupTestCase() { EmulatorImage::uninstall(); }

    void everyFieldNamed_data()
    {
        QTest::addColumn<OpenDialog>("open");
        QTest::newRow("connection settings") << OpenDialog([](MainWindow&, const QString&) {
            return new SettingsDlg(KKT_Logic::instance().handle());
        });
        QTest::newRow("journal") << OpenDialog([](MainWindow& window, const QString& folder) {
            return new JournalDlg(window, JournalFolder(folder));
        });
        QTest::newRow("find and replace") << OpenDialog([](MainWindow&, const QString&) {
            return new ReplaceDlg({QStringLiteral("Код"), QStringLiteral("Наименование"), QStringLiteral("Цена")});
        });
        QTest::newRow("shortcuts") << OpenDialog([](MainWindow& window, const QString&) {
            return new ShortcutsDlg(window.findChildren<QAction*>());
        });
        QTest::newRow("search bar with row numbers") << OpenDialog([](MainWindow&, const QString&) {
            return new TableSearchBar(true);
        });
        QTest::newRow("search bar") << OpenDialog([](MainWindow&, const QString&) { return new TableSearchBar(false); });
    }

    void everyFieldNamed()
    {
        QFETCH(OpenDialog, open);
        MainWindow window(nullptr, m_dir.filePath(QStringLiteral("Vescor.ini")));
        const std::unique_ptr<QWidget> dialog(open(window, m_dir.filePath(QStringLiteral("journal"))));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QCOMPARE(FieldNames::unnamed(*dialog), QStringList());
    }
};

VESCOR_TEST(DialogNamesTest)

#include "tst_DialogNames.moc"
