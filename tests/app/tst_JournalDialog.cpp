#include "support/EmulatorImage.h"
#include "support/RegisterCells.h"
#include "support/FieldNames.h"
#include "support/OddNode.h"
#include "support/TestDriver.h"
#include "support/TestMain.h"
#include "support/UserTyping.h"

#include "app/MainWindow.h"
#include "app/ReportDlg.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "dialogs/FileDialog.h"
#include "dialogs/MessageBox.h"
#include "exchange/FileTextCodec.h"
#include "journal/JournalFolder.h"
#include "table/TableModel.h"
#include "table/TableView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

const QString Serial = QStringLiteral("0057000001");

struct Edit
{
    unsigned table;
    int row;
    int column;
    QString text;
};

QStringList rowTexts(const QTableWidget* table, int row)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts << (table->item(row, column) ? table->item(row, column)->text() : QString());
    return texts;
}

QString shownText(const QTableView* table, int row, int column, int role = Qt::DisplayRole)
{
    return table->model()->index(row, column).data(role).toString();
}

QStringList rowTexts(const QTableView* table, int row)
{
    QStringList texts;
    for (int column = 0; column < table->model()->columnCount(); ++column)
        texts << shownText(table, row, column);
    return texts;
}

} // namespace

// The window's journal: what "Записать в ККТ" and an import followed by a
// write record, and the "Журнал изменений" dialog listing and reverting them.
class JournalDialogTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_window;
    QString m_image;
    QByteArray m_dataHome;
    QList<MessageBox::Request> m_boxes;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;

    QString journalDir() const { return m_dir->filePath("data/Orvane/Vescor/journal"); }
    QTabWidget* tabs() { return m_window->findChild<QTabWidget*>(QStringLiteral("tabWidget")); }
    QPushButton* button(const char* name) { return m_window->findChild<QPushButton*>(QLatin1String(name)); }

    // The register stores its image once unchanged, so that every cell is in
    // raw form and images compare cell by cell.
    void rawImage()
    {
        KKT_Logic& logic = KKT_Logic::instance();
        DriverLibrary& driver = DriverLibrary::instance();
        QCOMPARE(logic.openAndIdentify(nullptr, nullptr, nullptr), 0);
        const unsigned char one = 1; // cell 2/1/1 of the default register holds 1
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_TABLE, 2);
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_ROW, 1);
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_FIELD, 1);
        driver.setParamByteArray(logic.handle(), LIBTILLO_PARAM_VALUE, &one, 1);
        const int written = driver.writeDeviceSettingRaw(logic.handle());
        const int committed = driver.commitSettings(logic.handle());
        logic.close();
        QCOMPARE(written, 0);
        QCOMPARE(committed, 0);
        for (const auto& [key, bytes] : registerCells(m_image))
            QVERIFY(!bytes.isEmpty());
    }

    void readAll()
    {
        for (QAction* action : button("readButton")->menu()->actions()) {
            if (QString(action->text()).remove(QLatin1Char('&')) == QStringLiteral("Всё"))
                action->trigger();
        }
        QVERIFY2(m_window->statusText().startsWith(QStringLiteral("Успешно прочитано")),
                 qPrintable(m_window->statusText()));
    }

    TableView* tabView(unsigned table)
    {
        for (int i = 0; i < tabs()->count(); ++i) {
            auto* view = tabs()->widget(i)->findChild<TableView*>();
            auto* model = view ? view->tableModel() : nullptr;
            if (model && model->tableNumber() == table)
                return view;
        }
        return nullptr;
    }

    // Types the text into the cell's editor and confirms it with Enter.
    void type(const Edit& e)
    {
        TableView* view = tabView(e.table);
        QVERIFY(view);
        tabs()->setCurrentWidget(view->parentWidget());
        QVERIFY2(typeIntoCell(view, view->model()->index(e.row, e.column), e.text),
                 "the cell opens no line editor or keeps it open");
    }

    // Opens the journal dialog with its button and runs `use` on it from the dialog's own loop.
    void withDialog(const std::function<void(QDialog*)>& use)
    {
        bool seen = false;
        std::function<void()> act = [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                QTimer::singleShot(0, act);
                return;
            }
            seen = true;
            // As the user sees it once shown: with the chosen write's cells.
            QCoreApplication::processEvents();
            use(dialog);
            if (dialog->isVisible())
                QTest::mouseClick(dialog->findChild<QPushButton*>("closeButton"), Qt::LeftButton);
        };
        QTimer::singleShot(0, act);
        QTest::mouseClick(button("journalButton"), Qt::LeftButton);
        QVERIFY(seen);
    }

    QStringList boxTexts() const
    {
        QStringList texts;
        for (const MessageBox::Request& request : m_boxes)
            texts << request.text;
        return texts;
    }

private slots:
    void initTestCase()
    {
        MessageBox::setHandler([this](const MessageBox::Request& request) {
            m_boxes << request;
            return request.icon == QMessageBox::Question ? m_answer : QMessageBox::Ok;
        });
        QVERIFY2(loadTestDriver(), qPrintable(DriverLibrary::instance().loadError()));
    }

    void cleanupTestCase() { MessageBox::setHandler(nullptr); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", m_dir->filePath("data").toUtf8());
        m_boxes.clear();
        m_answer = QMessageBox::Yes;
        EmulatorImage image = EmulatorImage::defaultImage();
        image.setRowCount(1, 4);
        m_image = image.install(*m_dir, false);
        m_window = std::make_unique<MainWindow>(nullptr, m_dir->filePath(QStringLiteral("Vescor.ini")));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        rawImage();
    }

    void cleanup()
    {
        m_window.reset();
        FileDialog::setHandler(nullptr);
        EmulatorImage::uninstall();
        qputenv("XDG_DATA_HOME", m_dataHome);
        m_dir.reset();
    }

    // Edits written from the window make one write; the dialog lists it with
    // its cells and "Вернуть" puts the register's cells back after the question,
    // leaving a cell changed since alone.
    void writeThenRevert_data()
    {
        QTest::addColumn<bool>("yes"); // the answer to the question
        QTest::addColumn<bool>("changedSince");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("writes"); // in the dialog afterwards
        QTest::newRow("reverted") << true << false << "Успешно записано 3 ячеек в 2 таблицах" << 2;
        QTest::newRow("question declined") << false << false << "Успешно записано 3 ячеек в 2 таблицах" << 1;
        QTest::newRow("a cell changed since") << true << true << "Успешно записано 2 ячеек в 2 таблицах" << 3;
    }

    void writeThenRevert()
    {
        QFETCH(bool, yes);
        const QMessageBox::StandardButton answer = yes ? QMessageBox::Yes : QMessageBox::No;
        QFETCH(bool, changedSince);
        QFETCH(QString, status);
        QFETCH(int, writes);
        const RegisterCells before = registerCells(m_image);
        readAll();
        type({1, 0, 1, QStringLiteral("Moloko 3.5%")});
        type({1, 3, 2, QStringLiteral("1.00")});
        type({4, 4, 0, QStringLiteral("DO VSTRECHI")});
        QTest::mouseClick(button("writeButton"), Qt::LeftButton);
        QCOMPARE(m_window->statusText(), QStringLiteral("Успешно записано 3 ячеек в 2 таблицах"));
        QCOMPARE(differences(before, registerCells(m_image)).size(), 3);
        if (changedSince) {
            type({1, 3, 2, QStringLiteral("2.00")});
            QTest::mouseClick(button("writeButton"), Qt::LeftButton);
            QCOMPARE(m_window->statusText(), QStringLiteral("Успешно записано 1 ячеек в 1 таблицах"));
        }
        const RegisterCells written = registerCells(m_image);
        const QList<RecordedWrite> journal = JournalFolder(journalDir()).writes(Serial);
        QCOMPARE(journal.size(), changedSince ? 2 : 1);
        const RecordedWrite write = journal.last();

        m_answer = answer;
        m_boxes.clear();
        withDialog([&](QDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Журнал изменений"));
            QCOMPARE(FieldNames::unnamed(*dialog), QStringList());
            QCOMPARE(dialog->findChild<QComboBox*>("serialBox")->currentText(), Serial);
            auto* writesTable = dialog->findChild<QTableWidget*>("writesTable");
            auto* cells = dialog->findChild<QTableView*>("cellsTable");
            QCOMPARE(writesTable->rowCount(), journal.size());
            // The older write, chosen as a user would.
            const int row = journal.size() - 1;
            QCOMPARE(rowTexts(writesTable, row).mid(1),
                     (QStringList{"Vescor 2.1.2", write.id(), "1, 4", "3"}));
            QTest::mouseClick(writesTable->viewport(), Qt::LeftButton, {},
                              writesTable->visualItemRect(writesTable->item(row, 2)).center());
            QCOMPARE(cells->model()->rowCount(), 3);
            QCOMPARE(rowTexts(cells, 0), (QStringList{"1 База товаров", "1", "2 Наименование", "Молоко", "Moloko 3.5%"}));
            // Values as the tab shows them, the stored form on the tooltip.
            QCOMPARE(rowTexts(cells, 1), (QStringList{"1 База товаров", "4", "3 Цена", "52.90", "1.00"}));
            QCOMPARE(shownText(cells, 1, 3, Qt::ToolTipRole), QStringLiteral("В ККТ хранится: \"5290\""));
            QCOMPARE(shownText(cells, 1, 4, Qt::ToolTipRole), QStringLiteral("В ККТ хранится: \"100\""));
            QCOMPARE(shownText(cells, 0, 4, Qt::ToolTipRole), QString());
            QCOMPARE(rowTexts(cells, 2).mid(1), (QStringList{"5", "1 Строка клише 5", "СПАСИБО ЗА ПОКУПКУ!", "DO VSTRECHI"}));

            QTest::mouseClick(dialog->findChild<QPushButton*>("revertButton"), Qt::LeftButton);
            QCOMPARE(writesTable->rowCount(), writes);
        });

        QCOMPARE(m_boxes.value(0).icon, QMessageBox::Question);
        QVERIFY2(m_boxes.value(0).text.startsWith(QStringLiteral("Вернуть ячейкам записи %1 от ").arg(write.id())),
                 qPrintable(m_boxes.value(0).text));
        QCOMPARE(m_window->statusText(), status);
        if (answer == QMessageBox::No) {
            QCOMPARE(m_boxes.size(), 1);
            QCOMPARE(differences(written, registerCells(m_image)), QList<CellKey>());
            return;
        }
        if (!changedSince) {
            QCOMPARE(m_boxes.size(), 1);
            QCOMPARE(differences(before, registerCells(m_image)), QList<CellKey>());
            // The tabs show what the register holds again, and treat it as read:
            // the value of the reverted write typed once more is an edit to write.
            TableModel* goods = tabView(1)->tableModel();
            QCOMPARE(goods->cellText(0, 1), QStringLiteral("Молоко"));
            QVERIFY(!goods->hasChangedCells());
            type({1, 0, 1, QStringLiteral("Moloko 3.5%")});
            QVERIFY(tabView(1)->tableModel()->hasChangedCells());
            QTest::mouseClick(button("writeButton"), Qt::LeftButton);
            QCOMPARE(m_window->statusText(), QStringLiteral("Успешно записано 1 ячеек в 1 таблицах"));
            QCOMPARE(differences(before, registerCells(m_image)).size(), 1);
            return;
        }
        QCOMPARE(boxTexts().mid(1),
                 QStringList{QStringLiteral("Ячейки, изменённые после записи %1, оставлены как есть:\nтаблица 1, ряд 4, "
                                            "поле 3 (Цена): в ККТ \"2.00\", запись оставила \"1.00\"")
                                 .arg(write.id())});
        QCOMPARE(m_boxes.at(1).icon, QMessageBox::Warning);
        QCOMPARE(differences(before, registerCells(m_image)), (QList<CellKey>{CellKey{1, 4, 3}}));
    }

    // A window that has read nothing yet shows the journal's values as the tabs
    // would: from the register model's description.
    void valuesShownBeforeAnyRead()
    {
        readAll();
        type({1, 3, 2, QStringLiteral("1.00")});
        type({6, 0, 0, QStringLiteral("22")});
        QTest::mouseClick(button("writeButton"), Qt::LeftButton);
        QCOMPARE(m_window->statusText(), QStringLiteral("Успешно записано 2 ячеек в 2 таблицах"));
        m_window = std::make_unique<MainWindow>(nullptr, m_dir->filePath(QStringLiteral("Vescor.ini")));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(tabs()->count(), 0);
        withDialog([&](QDialog* dialog) {
            auto* writesTable = dialog->findChild<QTableWidget*>("writesTable");
            auto* cells = dialog->findChild<QTableView*>("cellsTable");
            QTest::mouseClick(writesTable->viewport(), Qt::LeftButton, {},
                              writesTable->visualItemRect(writesTable->item(0, 2)).center());
            QCOMPARE(cells->model()->rowCount(), 2);
            QCOMPARE(rowTexts(cells, 0).mid(3), (QStringList{"52.90", "1.00"}));
            QCOMPARE(rowTexts(cells, 1).mid(3), (QStringList{"20.00", "22.00"}));
            QCOMPARE(shownText(cells, 1, 4, Qt::ToolTipRole), QStringLiteral("В ККТ хранится: \"2200\""));
        });
    }

    // "Отчёт…" shows the chosen write's report, the values as the tabs show
    // them, and saves it as a PDF of A4 pages; a PDF that cannot be written
    // says where and leaves nothing behind.
    void reportOfChosenWrite_data()
    {
        QTest::addColumn<QString>("pdf"); // below the test's folder
        QTest::addColumn<QString>("message");
        QTest::newRow("saved") << "report.pdf" << "";
        QTest::newRow("no such folder") << "missing/report.pdf" << "Отчёт не сохранён в ";
    }

    void reportOfChosenWrite()
    {
        QFETCH(QString, pdf);
        QFETCH(QString, message);
        const QString path = m_dir->filePath(pdf);
        readAll();
        type({1, 3, 2, QStringLiteral("1.00")});
        type({4, 4, 0, QStringLiteral("<b>DO VSTRECHI</b>")});
        QTest::mouseClick(button("writeButton"), Qt::LeftButton);
        QCOMPARE(m_window->statusText(), QStringLiteral("Успешно записано 2 ячеек в 2 таблицах"));
        FileDialog::setHandler([&](const FileDialog::Request& request) {
            return request.kind == FileDialog::SaveFileName ? path : QString();
        });
        m_boxes.clear();
        QString preview;
        QString saved;
        withDialog([&](QDialog* journal) {
            bool seen = false;
            std::function<void()> act = [&] {
                auto* report = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (!report || report == journal) {
                    QTimer::singleShot(0, act);
                    return;
                }
                seen = true;
                preview = report->windowTitle() + '\n' + report->findChild<QTextBrowser*>("preview")->toPlainText();
                QTest::mouseClick(report->findChild<QPushButton*>("pdfButton"), Qt::LeftButton);
                saved = report->findChild<QLabel*>("savedLabel")->text();
                QTest::mouseClick(report->findChild<QPushButton*>("closeButton"), Qt::LeftButton);
            };
            QTimer::singleShot(0, act);
            QTest::mouseClick(journal->findChild<QPushButton*>("reportButton"), Qt::LeftButton);
            QVERIFY(seen);
        });
        for (const QString& text : {QStringLiteral("Отчёт о настройке ККТ\n"), QStringLiteral("Заводской номер"), Serial,
                                    QStringLiteral("3. Цена"), QStringLiteral("52.90"), QStringLiteral("1.00"),
                                    QStringLiteral("<b>DO VSTRECHI</b>"), QStringLiteral("Vescor 2.1.2")})
            QVERIFY2(preview.contains(text), qPrintable(text + " not in " + preview));
        if (!message.isEmpty()) {
            QCOMPARE(m_boxes.size(), 1);
            QCOMPARE(m_boxes.first().icon, QMessageBox::Critical);
            QVERIFY2(m_boxes.first().text.startsWith(message + path), qPrintable(m_boxes.first().text));
            QVERIFY(saved.isEmpty());
            QVERIFY(QDir(m_dir->path()).entryList({"*.pdf*"}, QDir::Files).isEmpty());
            return;
        }
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(saved, QStringLiteral("Сохранено: ") + path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
        QVERIFY(!QFile::exists(path + ".part"));
        if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
            QSKIP("pdfinfo (poppler-utils) is not installed");
        QProcess info;
        info.start("pdfinfo", {path});
        QVERIFY(info.waitForFinished(-1));
        QCOMPARE(info.exitCode(), 0);
        const QString text = QString::fromUtf8(info.readAllStandardOutput());
        QVERIFY2(text.contains(QRegularExpression("Pages:\\s+[1-9]")), qPrintable(text));
        QVERIFY2(text.contains("(A4)"), qPrintable(text));
    }

    // The PDF goes only where a regular file or nothing stands; the node is kept.
    void pdfOnlyWhereARegularFileStands_data()
    {
        QTest::addColumn<int>("node");
        for (const OddNode::Kind kind : OddNode::Kinds)
            QTest::newRow(OddNode::name(kind)) << int(kind);
    }

    void pdfOnlyWhereARegularFileStands()
    {
        QFETCH(int, node);
        const OddNode planted(OddNode::Kind(node), m_dir->filePath(QStringLiteral("planted.pdf")));
        if (!planted.skipReason().isEmpty())
            QSKIP(qPrintable(planted.skipReason()));
        const QString why = ReportDlg::writePdf(QStringLiteral("<p>Отчёт</p>"), planted.path());
        QVERIFY2(why.endsWith(planted.refusalWords()), qPrintable(why));
        QVERIFY2(planted.unchanged(), qPrintable(planted.change()));
        QVERIFY(!QFileInfo::exists(planted.path() + ".part"));
    }

    // After a write the status bar offers the report of exactly that write,
    // on its button or its key, until the next command starts: its cells in
    // the units the tabs show, saved as a PDF. A failed write offers none.
    void reportOfTheWriteJustMade_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<bool>("fails");
        QTest::newRow("clicked") << false << false;
        QTest::newRow("on its key") << true << false;
        QTest::newRow("write fails") << false << true;
    }

    void reportOfTheWriteJustMade()
    {
        QFETCH(bool, byKey);
        QFETCH(bool, fails);
        QPushButton* report = button("writeReportButton");
        QVERIFY(report);
        QVERIFY(!report->isVisible());
        readAll();
        QVERIFY(!report->isVisible());
        type({1, 0, 1, QStringLiteral("Moloko 3.5%")});
        QTest::mouseClick(button("writeButton"), Qt::LeftButton);
        QVERIFY(report->isVisible());
        type({1, 3, 2, QStringLiteral("1.00")});
        type({4, 4, 0, QStringLiteral("<b>DO VSTRECHI</b>")});
        if (fails) {
            EmulatorImage::Fault cause;
            cause.call = QStringLiteral("write");
            cause.table = 4;
            QVERIFY(EmulatorImage::fromFile(m_image).addFault(cause).save(m_image));
        }
        m_boxes.clear();
        QTest::mouseClick(button("writeButton"), Qt::LeftButton);
        const QString pdf = m_dir->filePath(QStringLiteral("write.pdf"));
        FileDialog::setHandler([&](const FileDialog::Request& request) {
            return request.kind == FileDialog::SaveFileName ? pdf : QString();
        });
        QString preview;
        QString saved;
        bool opened = false;
        std::function<void()> act = [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                if (!fails)
                    QTimer::singleShot(0, act);
                return;
            }
            opened = true;
            preview = dialog->windowTitle() + '\n' + dialog->findChild<QTextBrowser*>("preview")->toPlainText();
            QTest::mouseClick(dialog->findChild<QPushButton*>("pdfButton"), Qt::LeftButton);
            saved = dialog->findChild<QLabel*>("savedLabel")->text();
            dialog->close();
        };
        QTimer::singleShot(0, act);
        if (fails) {
            QCOMPARE(m_boxes.size(), 1);
            QVERIFY(!m_window->statusText().startsWith(QStringLiteral("Успешно")));
            QVERIFY(!report->isVisible());
            QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_P));
            QCoreApplication::processEvents();
            QVERIFY(!opened);
            return;
        }
        QCOMPARE(m_window->statusText(), QStringLiteral("Успешно записано 2 ячеек в 2 таблицах"));
        QVERIFY(m_boxes.isEmpty());
        QVERIFY(report->isVisible());
        if (byKey)
            QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_P));
        else
            QTest::mouseClick(report, Qt::LeftButton);
        QVERIFY(opened);
        for (const QString& text : {QStringLiteral("Отчёт о настройке ККТ\n"), Serial, QStringLiteral("3. Цена"),
                                    QStringLiteral("52.90"), QStringLiteral("1.00"),
                                    QStringLiteral("<b>DO VSTRECHI</b>")})
            QVERIFY2(preview.contains(text), qPrintable(text + " not in " + preview));
        QVERIFY2(!preview.contains(QStringLiteral("Moloko")), qPrintable(preview));
        QCOMPARE(saved, QStringLiteral("Сохранено: ") + pdf);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
        QVERIFY(m_boxes.isEmpty());

        readAll();
        QVERIFY(!report->isVisible());
    }

    // The dialog lists the writes from the journal's index and reads a write's
    // cells only when it is chosen: a write whose cells are damaged is listed
    // and says so when chosen; a line cut short is not listed.
    void listsWritesThenCellsOnDemand_data()
    {
        QTest::addColumn<int>("row"); // chosen, newest first
        QTest::addColumn<QStringList>("firstCell"); // empty: the cells cannot be read
        QTest::newRow("sound write") << 1 << QStringList{"6 Налоги", "2", "1 Ставка", "2000", "2200"};
        QTest::newRow("write with damaged cells") << 0 << QStringList{};
    }

    void listsWritesThenCellsOnDemand()
    {
        QFETCH(int, row);
        QFETCH(QStringList, firstCell);
        JournalRecord record;
        record.time = QDateTime::fromString(QStringLiteral("2024-05-01T10:00:00Z"), Qt::ISODate);
        record.program = QStringLiteral("vescor-cli");
        record.version = QStringLiteral("2.1.2");
        record.writeId = QStringLiteral("sound");
        record.serialNumber = Serial;
        record.tableNumber = 6;
        record.tableName = QStringLiteral("Налоги");
        record.cells = {{2, 1, QStringLiteral("Ставка"), "2000", "2200"}, {3, 1, QStringLiteral("Ставка"), "0", "1"}};
        const JournalFolder journal(journalDir());
        QCOMPARE(journal.append(record), QString());
        QFile file(journal.filePath(Serial));
        QVERIFY(file.open(QIODevice::Append));
        file.write("{\"cells\":[{\"row\":1,\"before\":\"\n");
        record.time = record.time.addSecs(60);
        record.writeId = QStringLiteral("damaged");
        file.write(record.toJsonLine().replace("\"row\":3", "\"row\":0") + '\n');
        file.close();

        withDialog([&](QDialog* dialog) {
            auto* writesTable = dialog->findChild<QTableWidget*>("writesTable");
            auto* cells = dialog->findChild<QTableView*>("cellsTable");
            QCOMPARE(writesTable->rowCount(), 2);
            QCOMPARE(rowTexts(writesTable, 0).mid(1), (QStringList{"vescor-cli 2.1.2", "damaged", "6", "2"}));
            QCOMPARE(rowTexts(writesTable, 1).mid(1), (QStringList{"vescor-cli 2.1.2", "sound", "6", "2"}));
            QTest::mouseClick(writesTable->viewport(), Qt::LeftButton, {},
                              writesTable->visualItemRect(writesTable->item(row, 2)).center());
            QCOMPARE(dialog->findChild<QPushButton*>("revertButton")->isEnabled(), !firstCell.isEmpty());
            if (firstCell.isEmpty()) {
                QCOMPARE(cells->model()->rowCount(), 1);
                QVERIFY2(shownText(cells, 0, 0).startsWith(QStringLiteral("Ячейки записи не прочитаны")),
                         qPrintable(shownText(cells, 0, 0)));
                return;
            }
            QCOMPARE(cells->model()->rowCount(), 2);
            QCOMPARE(rowTexts(cells, 0), firstCell);
        });
        QCOMPARE(boxTexts(), QStringList());
    }

    // A table journaled before a commit that was never confirmed is listed as
    // one that may have been written, beside a confirmed one of the same write.
    void showsTablesThatMayHaveBeenWritten()
    {
        JournalRecord record;
        record.time = QDateTime::fromString(QStringLiteral("2024-05-01T10:00:00Z"), Qt::ISODate);
        record.program = QStringLiteral("vescor-cli");
        record.version = QStringLiteral("2.1.2");
        record.writeId = QStringLiteral("killed");
        record.serialNumber = Serial;
        record.tableNumber = 6;
        record.tableName = QStringLiteral("Налоги");
        record.cells = {{2, 1, QStringLiteral("Ставка"), "2000", "2200"}};
        record.intent = 1;
        const JournalFolder journal(journalDir());
        QCOMPARE(journal.append(record), QString());
        QCOMPARE(journal.confirm(record), QString());
        record.intent = 2;
        record.tableNumber = 4;
        record.tableName = QStringLiteral("Клише");
        record.cells = {{5, 1, QStringLiteral("Строка"), "СПАСИБО", "ДО ВСТРЕЧИ"}};
        QCOMPARE(journal.append(record), QString());

        withDialog([&](QDialog* dialog) {
            auto* writesTable = dialog->findChild<QTableWidget*>("writesTable");
            auto* cells = dialog->findChild<QTableView*>("cellsTable");
            QCOMPARE(writesTable->rowCount(), 1);
            QCOMPARE(rowTexts(writesTable, 0).mid(1),
                     (QStringList{"vescor-cli 2.1.2", "killed", "6, 4 (таблица могла быть записана)", "2"}));
            QCOMPARE(cells->model()->rowCount(), 2);
            QCOMPARE(rowTexts(cells, 0), (QStringList{"6 Налоги", "2", "1 Ставка", "2000", "2200"}));
            QCOMPARE(rowTexts(cells, 1),
                     (QStringList{"4 Клише (таблица могла быть записана)", "5", "1 Строка", "СПАСИБО", "ДО ВСТРЕЧИ"}));
        });
        QCOMPARE(boxTexts(), QStringList());
    }

    // A file imported and then written: the journal keeps the register's
    // values from before the write, read during it.
    void importThenWrite()
    {
        readAll();
        const QString file = m_dir->filePath("taxes.csv");
        FileDialog::setHandler([file](const FileDialog::Request&) { return file; });
        tabs()->setCurrentWidget(tabView(6)->parentWidget());
        m_window->findChild<QAction*>("actionExportCurrent")->trigger();
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QTextCodec* codec = FileTextCodec::forReading(csv.peek(4096));
        QString text = codec->toUnicode(csv.readAll());
        csv.close();
        QVERIFY(text.contains("\"1\";\"20.00\""));
        text.replace("\"1\";\"20.00\"", "\"1\";\"22.00\"");
        QVERIFY(csv.open(QIODevice::WriteOnly | QIODevice::Truncate));
        csv.write(codec->fromUnicode(text));
        csv.close();

        QTest::mouseClick(button("pbtnLoadFromFile"), Qt::LeftButton);
        QVERIFY2(m_window->statusText().startsWith(QStringLiteral("Успешно прочитан файл")), qPrintable(m_window->statusText()));
        QTest::mouseClick(button("writeButton"), Qt::LeftButton);
        QVERIFY2(m_window->statusText().startsWith(QStringLiteral("Успешно записано")), qPrintable(m_window->statusText()));

        const QList<RecordedWrite> journal = JournalFolder(journalDir()).writes(Serial);
        QCOMPARE(journal.size(), 1);
        QCOMPARE(journal.first().tableNumbers(), QStringList{"6"});
        bool found = false;
        for (const JournalRecord::CellChange& cell : journal.first().first().cells) {
            if (cell.row == 1 && cell.field == 1) {
                found = true;
                QCOMPARE(cell.before, QByteArray("2000"));
                QCOMPARE(cell.after, QByteArray("2200"));
            } else {
                QCOMPARE(cell.before, cell.after);
            }
        }
        QVERIFY(found);
        QCOMPARE(boxTexts(), QStringList());
    }

    // A journal that cannot be written: the write stands and a warning follows it.
    void unwritableJournal()
    {
        QVERIFY(QDir().mkpath(QFileInfo(journalDir()).path()));
        QFile blocker(journalDir());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const RegisterCells before = registerCells(m_image);
        readAll();
        type({4, 4, 0, QStringLiteral("DO VSTRECHI")});
        QTest::mouseClick(button("writeButton"), Qt::LeftButton);
        QCOMPARE(m_window->statusText(), QStringLiteral("Успешно записано 1 ячеек в 1 таблицах"));
        QCOMPARE(differences(before, registerCells(m_image)), (QList<CellKey>{CellKey{4, 5, 1}}));
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes.first().icon, QMessageBox::Warning);
        QCOMPARE(m_boxes.first().text,
                 QStringLiteral("Запись в ККТ выполнена, но журнал изменений не записан:\n%1: не удалось создать папку журнала")
                     .arg(journalDir()));
    }
};

VESCOR_TEST(JournalDialogTest)

#include "tst_JournalDialog.moc"
