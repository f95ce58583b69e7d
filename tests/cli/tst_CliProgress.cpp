#include "support/CliRunner.h"
#include "support/EmulatorImage.h"
#include "support/SteppingClock.h"
#include "support/TestMain.h"

#include "ProgressLine.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <memory>

namespace {

// A pseudo-terminal: what is written to its terminal end is read at the other.
struct PseudoTerminal
{
    int master = -1;
    int terminal = -1;
    PseudoTerminal()
    {
        if (::openpty(&master, &terminal, nullptr, nullptr, nullptr) == 0)
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~PseudoTerminal()
    {
        ::close(master);
        ::close(terminal);
    }
    QString terminalPath() const { return QString::fromLocal8Bit(::ttyname(terminal)); }
    // Everything written so far (the terminal's own line ends are "\r\n").
    QByteArray written() const
    {
        QByteArray bytes;
        char chunk[4096];
        ssize_t n;
        while ((n = ::read(master, chunk, sizeof chunk)) > 0)
            bytes.append(chunk, int(n));
        return bytes;
    }
};

// The lines drawn: each starts with "\r" and ends by clearing the rest of the line.
QStringList drawn(const QByteArray& bytes)
{
    QStringList lines;
    for (const QByteArray& piece : bytes.split('\r')) {
        if (piece.endsWith("\x1b[K") && piece.size() > 3)
            lines << QString::fromUtf8(piece.left(piece.size() - 3));
    }
    return lines;
}

} // namespace

// The progress line of vescor-cli on a terminal's standard error.
class CliProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void format_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<QString>("line");
        const QString six = QStringLiteral("Клише: строка 3 из 6");
        QTest::newRow("no row yet") << "Клише: строка 0 из 6" << 0 << 6 << qint64(500) << "Клише: строка 0 из 6";
        QTest::newRow("no time yet") << six << 3 << 6 << qint64(0) << six;
        QTest::newRow("known end") << six << 3 << 6 << qint64(1000) << six + " — 3 строк/с, осталось 0:01";
        QTest::newRow("the end") << "Клише: строка 6 из 6" << 6 << 6 << qint64(2000)
                                 << "Клише: строка 6 из 6 — 3 строк/с, осталось 0:00";
        QTest::newRow("minutes left") << "База товаров: строка 1000 из 65536" << 1000 << 65536 << qint64(10000)
                                      << "База товаров: строка 1000 из 65536 — 100 строк/с, осталось 10:45";
        QTest::newRow("end not known") << "База товаров: прочитано строк 12000" << 12000 << 0 << qint64(300)
                                       << "База товаров: прочитано строк 12000 — 40000 строк/с";
    }

    void format()
    {
        QFETCH(QString, text);
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(qint64, elapsedMs);
        QFETCH(QString, line);
        QCOMPARE(ProgressLine::format(text, done, total, elapsedMs), line);
    }

    // Drawn on a terminal only, and not when quiet; erased at its end.
    void terminalOnly_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<bool>("quiet");
        QTest::newRow("terminal") << true << false;
        QTest::newRow("terminal, quiet") << true << true;
        QTest::newRow("pipe") << false << false;
    }

    void terminalOnly()
    {
        QFETCH(bool, terminal);
        QFETCH(bool, quiet);
        PseudoTerminal pty;
        QVERIFY(pty.master >= 0);
        int pipeEnds[2];
        QVERIFY(::pipe2(pipeEnds, O_NONBLOCK) == 0);
        {
            SteppingClock clock(ProgressLine::RedrawInterval);
            ProgressLine line(terminal ? pty.terminal : pipeEnds[1], quiet, clock);
            QCOMPARE(line.drawn(), terminal && !quiet);
            line.setRange(0, 6);
            line.setText(QStringLiteral("Клише: строка 3 из 6"));
            line.setValue(3);
        }
        char chunk[256];
        QCOMPARE(::read(pipeEnds[0], chunk, sizeof chunk), ssize_t(-1));
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        const QByteArray bytes = pty.written();
        if (!terminal || quiet) {
            QCOMPARE(bytes, QByteArray());
            return;
        }
        QVERIFY2(bytes.startsWith("\rКлише: строка 3 из 6"), bytes.constData());
        QVERIFY2(bytes.endsWith("\r\x1b[K"), bytes.constData());
    }

    // At most one line per RedrawInterval of the clock, however often the engine reports.
    void redrawPaced_data()
    {
        QTest::addColumn<qint64>("step"); // the clock's move per reading
        QTest::addColumn<int>("lines");
        QTest::newRow("still clock: the first report only") << qint64(0) << 1;
        // 79 reports: the first setValue comes before any text and is not drawn.
        QTest::newRow("every report a full interval later") << qint64(100) << 79;
        QTest::newRow("a quarter interval per reading") << qint64(25) << 20;
    }

    void redrawPaced()
    {
        QFETCH(qint64, step);
        QFETCH(int, lines);
        PseudoTerminal pty;
        QVERIFY(pty.master >= 0);
        SteppingClock clock(step);
        ProgressLine line(pty.terminal, false, clock);
        line.setRange(0, 40);
        for (int row = 1; row <= 40; ++row)
            line.setValue(row), line.setText(QStringLiteral("Т: строка %1 из 40").arg(row));
        QCOMPARE(drawn(pty.written()).size(), lines);
    }

    // The program draws the line while it reads, on a terminal and without --quiet;
    // standard output and the messages stay as they are.
    void program_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("shown");
        QTest::newRow("export") << QStringList{} << true;
        QTest::newRow("export --quiet") << QStringList{"--quiet"} << false;
    }

    void program()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, shown);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        EmulatorImage image = EmulatorImage::defaultImage();
        image.setRowCount(1, 3);
        image.install(dir);
        PseudoTerminal pty;
        QVERIFY(pty.master >= 0);

        QProcess process;
        process.setProgram(cliProgram());
        process.setArguments(QStringList{"export", dir.filePath("out"), "--tables", "1"} + options);
        process.setStandardErrorFile(pty.terminalPath());
        process.start();
        QVERIFY(process.waitForFinished(-1));
        EmulatorImage::uninstall();
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
                 dir.filePath("out/0057000001_1.csv"));

        const QByteArray bytes = pty.written();
        const QStringList lines = drawn(bytes);
        QCOMPARE(!lines.isEmpty(), shown);
        for (const QString& line : lines)
            QVERIFY2(line.isEmpty() || line.startsWith(QStringLiteral("База товаров: ")), qPrintable(line));
        // The messages follow on a clean line.
        const QString text = QString::fromUtf8(bytes);
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("(^|\\r\\x1b\\[K)Прочитано таблиц: 1 из 1"))),
                 qPrintable(text));
    }
};

VESCOR_TEST(CliProgressTest)

#include "tst_CliProgress.moc"
