#pragma once

// The main window against the emulated register, with its message boxes and
// file dialogs answered by the test: shared by the export, import and round
// trip tests.

#include "support/EmulatorImage.h"
#include "support/RegisterCells.h"
#include "support/TestDriver.h"
#include "support/TestFiles.h"

#include "app/MainWindow.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "dialogs/FileDialog.h"
#include "dialogs/MessageBox.h"
#include "table/TableModel.h"
#include "table/TableView.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <map>
#include <memory>
#include <tuple>

namespace exchangetest {

using ::CellKey;
using ::RegisterCells;
using ::differences;
using ::registerCells;

inline QStringList& debugLines()
{
    static QStringList lines;
    return lines;
}

inline void recordDebugLine(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg)
        debugLines() << message;
}

inline QString modelPath(unsigned code)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/models/%1.json").arg(code);
}

// Writes a description of its own model code: the default tables that `keep` accepts.
inline bool writeModel(unsigned code, const std::function<bool(int id)>& keep)
{
    QFile source(modelPath(57));
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QJsonObject root = QJsonDocument::fromJson(source.readAll()).object();
    QJsonArray kept;
    for (const QJsonValue& t : root.value(QStringLiteral("tables")).toArray()) {
        if (keep(t.toObject().value(QStringLiteral("id")).toInt()))
            kept.append(t);
    }
    root.insert(QStringLiteral("tables"), kept);
    return writeBytes(modelPath(code), QJsonDocument(root).toJson());
}

const QString Cancelled = QStringLiteral("Операция была отменена");
const QString Done = QStringLiteral("Операция успешно завершена");
const QString Serial = QStringLiteral("0057000001");
const QString CsvFilter = QStringLiteral("Файлы CSV (*.csv);;Все файлы (*)");
const QString NoLink = QStringLiteral("Ошибка - 2 [Нет связи]");

inline EmulatorImage::Fault fault(const QString& call, int table = -1, int after = 0, int times = -1)
{
    EmulatorImage::Fault f;
    f.call = call;
    f.table = table;
    f.after = after;
    f.times = times;
    return f;
}

// The default register with a commodity base of `goods` rows.
inline EmulatorImage smallRegister(int goods = 4)
{
    EmulatorImage image = EmulatorImage::defaultImage();
    image.setRowCount(1, goods);
    return image;
}

// One window per test function, its register image and its answers.
class Harness
{
public:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainWindow> window;
    QString imagePath;
    QList<MessageBox::Request> boxes;
    QStringList statusAtBoxes; // the window's status text as each box came up
    QMessageBox::StandardButton questionAnswer = QMessageBox::Yes;
    QList<FileDialog::Request> dialogs;
    QStringList answers; // taken in order by the file dialogs; none left: cancelled

    void installHandlers()
    {
        MessageBox::setHandler([this](const MessageBox::Request& request) {
            boxes << request;
            statusAtBoxes << (window ? window->statusText() : QString());
            return request.icon == QMessageBox::Question ? questionAnswer : QMessageBox::Ok;
        });
        FileDialog::setHandler([this](const FileDialog::Request& request) {
            dialogs << request;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        });
    }

    static void removeHandlers()
    {
        MessageBox::setHandler(nullptr);
        FileDialog::setHandler(nullptr);
    }

    bool start()
    {
        dir = std::make_unique<QTemporaryDir>();
        boxes.clear();
        statusAtBoxes.clear();
        dialogs.clear();
        answers.clear();
        questionAnswer = QMessageBox::Yes;
        if (!dir->isValid())
            return false;
        if (!loadTestDriver())
            return false;
        window = std::make_unique<MainWindow>(nullptr, path(QStringLiteral("Vescor.ini")));
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    void stop()
    {
        window.reset();
        EmulatorImage::uninstall();
        dir.reset();
    }

    QString path(const QString& name) const { return dir->filePath(name); }

    // Installs the image with tracing, and has the register store it once
    // unchanged, so that every cell of the file is in the register's own byte
    // form and files before and after a write compare cell by cell.
    bool install(const EmulatorImage& image)
    {
        if (!image.isValid())
            return false;
        imagePath = image.install(*dir, true);
        KKT_Logic& logic = KKT_Logic::instance();
        DriverLibrary& driver = DriverLibrary::instance();
        int modelId = 0;
        if (logic.openAndIdentify(&modelId, nullptr, nullptr) != 0)
            return false;
        // Writes back a bin1 cell of table 2 unchanged.
        const QByteArray cell = EmulatorImage::fromFile(imagePath).cell(2, 1, 1);
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_TABLE, 2);
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_ROW, 1);
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_FIELD, 1);
        driver.setParamByteArray(logic.handle(), LIBTILLO_PARAM_VALUE,
                                 reinterpret_cast<const unsigned char*>(cell.constData()), cell.size());
        const bool stored = driver.writeDeviceSettingRaw(logic.handle()) == 0 && driver.commitSettings(logic.handle()) == 0;
        logic.close();
        clearTrace();
        return stored && cell.size() == 1;
    }

    // Replaces the register's image file in place.
    bool replaceImage(const EmulatorImage& image) const { return image.save(imagePath); }
    RegisterCells cells() const { return registerCells(imagePath); }

    void clearTrace() const { QFile::remove(EmulatorImage::tracePath(*dir)); }
    QStringList trace() const { return EmulatorImage::traceLines(*dir); }
    bool closedAtEnd() const
    {
        const QStringList calls = trace();
        return !calls.isEmpty() && calls.last().startsWith(QLatin1String("close"));
    }

    QTabWidget* tabs() const { return window->findChild<QTabWidget*>(QStringLiteral("tabWidget")); }
    QPushButton* button(const char* name) const { return window->findChild<QPushButton*>(QLatin1String(name)); }

    QStringList tabTitles() const
    {
        QStringList titles;
        for (int i = 0; i < tabs()->count(); ++i)
            titles << tabs()->tabText(i);
        return titles;
    }

    TableModel* tabModel(int index) const
    {
        QWidget* page = tabs()->widget(index);
        auto* view = page ? page->findChild<TableView*>() : nullptr;
        return view ? view->tableModel() : nullptr;
    }

    TableModel* modelOfTable(unsigned table) const
    {
        for (int i = 0; i < tabs()->count(); ++i) {
            TableModel* model = tabModel(i);
            if (model && model->tableNumber() == table)
                return model;
        }
        return nullptr;
    }

    QList<unsigned> tabTables() const
    {
        QList<unsigned> tables;
        for (int i = 0; i < tabs()->count(); ++i) {
            const TableModel* model = tabModel(i);
            tables << (model ? model->tableNumber() : 0u);
        }
        return tables;
    }

    // Clicks the tab of the table, as a user picks it.
    bool selectTable(unsigned table) const
    {
        for (int i = 0; i < tabs()->count(); ++i) {
            const TableModel* model = tabModel(i);
            if (model && model->tableNumber() == table) {
                QTabBar* bar = tabs()->tabBar();
                const QRect rect = bar->tabRect(i);
                if (bar->rect().contains(rect.center()))
                    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, rect.center());
                else
                    tabs()->setCurrentIndex(i); // scrolled out of sight
                return tabs()->currentIndex() == i;
            }
        }
        return false;
    }

    bool triggerMenuEntry(const char* buttonName, const QString& entry) const
    {
        QMenu* menu = button(buttonName)->menu();
        if (!menu)
            return false;
        for (QAction* action : menu->actions()) {
            if (QString(action->text()).remove(QLatin1Char('&')) == entry && action->isEnabled() && button(buttonName)->isEnabled()) {
                action->trigger();
                return true;
            }
        }
        return false;
    }

    bool readAll() const
    {
        return triggerMenuEntry("readButton", QStringLiteral("Всё"))
            && window->statusText().startsWith(QStringLiteral("Успешно прочитано"));
    }

    // The export commands with the dialog answered by `answer` (empty: cancelled).
    bool exportAll(const QString& answer)
    {
        answers = QStringList{answer};
        return triggerMenuEntry("pbtnSaveToFile", QStringLiteral("Всё"));
    }

    bool exportCurrent(const QString& answer)
    {
        answers = QStringList{answer};
        return triggerMenuEntry("pbtnSaveToFile", QStringLiteral("Текущую"));
    }

    void import(const QString& answer)
    {
        answers = QStringList{answer};
        QTest::mouseClick(button("pbtnLoadFromFile"), Qt::LeftButton);
    }

    void clickWrite() const { QTest::mouseClick(button("writeButton"), Qt::LeftButton); }

    // The files of the directory, by name.
    static QStringList filesIn(const QString& directory)
    {
        return QDir(directory).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
};

} // namespace exchangetest
