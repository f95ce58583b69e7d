// The requests each shell operation sends over the line, on the emulated
// register with the commodity base grown to 65 536 rows (argument 1 changes
// it), counted in the driver's call trace (TILLO10_TRACE) of a whole
// `vescor-cli` process. Beside each count: the minimum its data need (the
// requests every command makes to open and identify, plus one request per
// row of a table read by rows or per cell otherwise, one per cell written
// that differs, one commit per table written) and the time both take on a
// 115 200-baud line at 5 ms a request. Argument 2 names another `vescor-cli`
// to count (an older build, say); the default is the one beside this program.
// The window's rows drive a main window of this program (offscreen) the same
// way, its file dialog and message boxes answered here.
#include "BenchApplication.h"
#include "BenchSupport.h"

#include "app/MainWindow.h"
#include "dialogs/FileDialog.h"
#include "dialogs/MessageBox.h"
#include "table/TableModel.h"

#include "device/KKT_Logic.h"
#include "exchange/CsvExchange.h"
#include "flows/RegisterSession.h"
#include "flows/TableReader.h"
#include "model/TableInfo.h"
#include "model/WholeNumber.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

using namespace BenchSupport;

namespace {

const int PriceField = 2;
const double SecondsPerRequest = 0.005;

struct Line
{
    QString image; // the register image the command runs on (copied fresh when it writes)
    QString trace;
    QString data; // XDG_DATA_HOME: the journal and the restore's snapshots
};

// Runs cli with arguments on the image; the trace lines it left, -1 when it failed.
long requests(const QString& cli, const QStringList& arguments, const Line& line)
{
    QFile::remove(line.trace);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TILLO10_EMULATOR"), line.image);
    environment.insert(QStringLiteral("TILLO10_TRACE"), line.trace);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), line.data);
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(cli, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() > 1) // 1: differences found (diff)
        return -1;
    QFile trace(line.trace);
    if (!trace.open(QIODevice::ReadOnly))
        return -1;
    return trace.readAll().count('\n');
}

// The requests a read of the table needs: one per row read by rows, else one per value cell.
long readNeed(const TableInfo& table, const DataRows& rows)
{
    if (table.fastRead)
        return rows.size();
    long cells = 0;
    for (const DataRow& row : rows)
        cells += row.size() - (table.type == Db ? 1 : 0);
    return cells;
}

long traceLines(const Line& line)
{
    QFile trace(line.trace);
    if (!trace.open(QIODevice::ReadOnly))
        return -1;
    return trace.readAll().count('\n');
}

long writesIn(const Line& line)
{
    QFile trace(line.trace);
    if (!trace.open(QIODevice::ReadOnly))
        return -1;
    long writes = 0;
    for (const QByteArray& call : trace.readAll().split('\n'))
        writes += call.startsWith("write") ? 1 : 0;
    return writes;
}

// The main window on the line's register, its dialogs answered: files from `files` in order, "yes" to a question.
class WindowOnLine
{
public:
    WindowOnLine(const Line& line, const QStringList& files) : m_files(files)
    {
        qputenv("TILLO10_EMULATOR", QFile::encodeName(line.image));
        qputenv("TILLO10_TRACE", QFile::encodeName(line.trace));
        FileDialog::setHandler([this](const FileDialog::Request&) { return m_files.isEmpty() ? QString() : m_files.takeFirst(); });
        MessageBox::setHandler([this](const MessageBox::Request& request) {
            if (request.icon == QMessageBox::Critical || request.icon == QMessageBox::Warning)
                m_failed = true;
            return request.icon == QMessageBox::Question ? QMessageBox::Yes : QMessageBox::Ok;
        });
        m_window = std::make_unique<MainWindow>(nullptr, line.data + QStringLiteral("/Vescor.ini"));
        m_window->show();
        QCoreApplication::processEvents();
    }
    ~WindowOnLine()
    {
        m_window.reset();
        FileDialog::setHandler(nullptr);
        MessageBox::setHandler(nullptr);
        qunsetenv("TILLO10_TRACE");
    }

    void click(const char* button) { m_window->findChild<QPushButton*>(QLatin1String(button))->click(); }
    void trigger(const char* action) { m_window->findChild<QAction*>(QLatin1String(action))->trigger(); }
    TableModel* model() const
    {
        const QList<TableModel*> models = m_window->findChildren<TableModel*>();
        return models.isEmpty() ? nullptr : models.first();
    }
    bool failed() const { return m_failed; }

private:
    std::unique_ptr<MainWindow> m_window;
    QStringList m_files;
    bool m_failed = false;
};

void print(const char* what, long sent, long need)
{
    const double over = need > 0 ? 100.0 * double(sent - need) / double(need) : 0;
    std::printf("%-44s %9ld %9ld %+7.1f %%  %7.1f min %7.1f min\n", what, sent, need, over,
                double(sent) * SecondsPerRequest / 60, double(need) * SecondsPerRequest / 60);
}

} // namespace

int main(int argc, char** argv)
{
    BenchApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 65536;
    const QString cli = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                 : QCoreApplication::applicationDirPath() + QStringLiteral("/vescor-cli");
    const QString source = findInTree(QStringLiteral("driver/default-image.json"));
    QTemporaryDir dir;
    const QString original = dir.filePath(QStringLiteral("register.json"));
    if (source.isEmpty() || !writeScaledImage(source, original, rows)) {
        std::fprintf(stderr, "cannot build the register image\n");
        return 1;
    }
    qunsetenv("TILLO10_TRACE");
    qputenv("TILLO10_EMULATOR", QFile::encodeName(original));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("bench-data"))));

    // What the data need: every table's rows as read, and a price list with every price changed.
    long baseNeed = 0;
    long allNeed = 0;
    const QString prices = dir.filePath(QStringLiteral("prices.csv"));
    {
        KKT_Logic& logic = KKT_Logic::instance();
        logic.connect();
        RegisterSession session(logic);
        for (const TableInfo& table : session.openWithDescription()) {
            unsigned cells = 0;
            DataRows read = TableReader::read(session.link(), table, cells);
            allNeed += readNeed(table, read);
            if (table.id != 1)
                continue;
            baseNeed = readNeed(table, read);
            for (DataRow& row : read) {
                const std::optional<uint64_t> kopecks = WholeNumber::read(row[PriceField].value);
                row[PriceField].value = QByteArray::number(qulonglong(kopecks.value_or(0) + 1));
            }
            CsvExchange().exportTable(prices, table, read);
        }
        session.close();
        logic.destroy();
    }

    Line line{dir.filePath(QStringLiteral("line.json")), dir.filePath(QStringLiteral("trace.log")),
              dir.filePath(QStringLiteral("data"))};
    const auto fresh = [&](const QString& image) {
        QFile::remove(line.image);
        return QFile::copy(image, line.image);
    };
    if (!fresh(original))
        return 1;
    const long open = requests(cli, {QStringLiteral("identify")}, line);
    if (open < 0) {
        std::fprintf(stderr, "%s identify failed\n", qPrintable(cli));
        return 1;
    }
    const long written = rows + 1; // one price a row, one commit
    const QString snapshot = dir.filePath(QStringLiteral("register.zip"));
    const QString exported = dir.filePath(QStringLiteral("export"));

    std::printf("requests on a register whose base has %d goods (%s); %ld open and identify\n", rows,
                qPrintable(cli), open);
    std::printf("%-44s %9s %9s %9s  %11s %11s\n", "operation", "sent", "need", "over", "sent takes", "need takes");
    struct Operation
    {
        const char* what;
        QStringList arguments;
        long need;
        QString image; // the register it starts from
    };
    // The register after the price list: what a restore of the saved snapshot puts back.
    const QString pricesWritten = dir.filePath(QStringLiteral("prices-written.json"));
    const QList<Operation> operations{
        {"read base (export --tables 1)", {QStringLiteral("export"), exported, QStringLiteral("--tables"), QStringLiteral("1")},
         open + baseNeed, original},
        {"read all (export)", {QStringLiteral("export"), exported}, open + allNeed, original},
        {"diff of the price list", {QStringLiteral("diff"), prices}, open + baseNeed, original},
        {"snapshot save", {QStringLiteral("snapshot"), QStringLiteral("save"), snapshot}, open + allNeed, original},
        {"import of the price list", {QStringLiteral("import"), prices}, open + baseNeed + written, original},
        {"import --only-different of the price list",
         {QStringLiteral("import"), QStringLiteral("--only-different"), prices}, open + baseNeed + written, original},
        {"snapshot diff, every price differing", {QStringLiteral("snapshot"), QStringLiteral("diff"), snapshot},
         open + allNeed, pricesWritten},
        {"snapshot restore, every price differing",
         {QStringLiteral("snapshot"), QStringLiteral("restore"), snapshot}, open + allNeed + written, pricesWritten},
    };
    for (const Operation& operation : operations) {
        if (operation.image == pricesWritten && !QFile::exists(pricesWritten)) {
            // The register with every price changed: the original after the import.
            fresh(original);
            if (requests(cli, {QStringLiteral("import"), prices}, line) < 0 || !QFile::copy(line.image, pricesWritten)) {
                std::fprintf(stderr, "the price list could not be written\n");
                return 1;
            }
        }
        QDir(exported).removeRecursively();
        if (!fresh(operation.image))
            return 1;
        const long sent = requests(cli, operation.arguments, line);
        if (sent < 0) {
            std::printf("%-44s failed\n", operation.what);
            return 1;
        }
        print(operation.what, sent, operation.need);
    }

    // The window: the price list imported, marked only where it differs from
    // the register (a read of the base), then written: one price a row.
    {
        if (!fresh(original))
            return 1;
        QFile::remove(line.trace);
        WindowOnLine window(line, {prices});
        window.click("pbtnLoadFromFile");
        const long imported = traceLines(line);
        window.trigger("actionImportDifferences");
        const long marked = traceLines(line);
        window.click("writeButton");
        const long sent = traceLines(line);
        if (window.failed() || imported < 0 || marked < 0 || sent < 0) {
            std::printf("%-44s failed\n", "window: import, mark differing, write");
            return 1;
        }
        // Three connections (import, mark, write), the base read once, and the
        // write's reads of the cells it writes, one per price.
        print("window: import, mark differing, write", sent, 3 * open + baseNeed + rows + written);
        print("  of them writes (one per differing price)", writesIn(line), rows);
    }
    // The window's one-cell write: the base read into a tab, one price edited and written.
    {
        if (!fresh(original))
            return 1;
        WindowOnLine window(line, {});
        window.trigger("actionReadCommodities");
        TableModel* model = window.model();
        QFile::remove(line.trace);
        if (!model || !model->setData(model->indexOfCell(0, PriceField), QStringLiteral("1.23"))) {
            std::printf("%-44s failed\n", "window: one-cell write");
            return 1;
        }
        window.click("writeButton");
        const long sent = traceLines(line);
        if (window.failed() || sent < 0) {
            std::printf("%-44s failed\n", "window: one-cell write");
            return 1;
        }
        // A connection (the window's asks one request fewer than `identify`),
        // the cell's read before it is written, the write and the commit.
        print("window: one-cell write", sent, open + 3);
    }
    return 0;
}
