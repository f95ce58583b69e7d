#include "MainWindow.h"
#include "ProgramIcon.h"
#include "common/Product.h"
#include "common/QtTranslation.h"
#include "common/SystemErrorText.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>

// Where a log file would go; the program writes its diagnostics to Qt's debug stream.
QString g_logFilePath;
MainWindow* g_mainWindow = nullptr;

namespace {

const char* const HelpText =
    "Использование: vescor [ПАРАМЕТР]\n"
    "Редактор таблиц настроек фискальных кассовых регистраторов (ККТ): читает таблицы из ККТ через\n"
    "библиотеку драйвера tillo10, правит их в окне и записывает измененные ячейки обратно; таблицы\n"
    "выгружаются в файлы CSV и загружаются из них. Настройки подключения хранятся в\n"
    "~/.config/Vescor/Vescor.ini. Для работы из командной строки есть vescor-cli.\n"
    "\n"
    "Параметры:\n"
    "  -h, --help     показать эту справку и выйти\n"
    "      --version  показать версию программы и выйти\n"
    "\n"
    "Остальные параметры принимает Qt (например, -platform offscreen).\n";

// 0 when what went to standard output reached it; else 3, the system's
// reason told on standard error.
int writtenOut()
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return 0;
    const QString reason = SystemErrorText::of(errno != 0 ? errno : EIO);
    std::fprintf(stderr, "%s\n",
                 QStringLiteral("Не удалось записать на стандартный вывод: %1").arg(reason).toLocal8Bit().constData());
    return 3;
}

// --help and --version are answered without a window (and without a display).
// True when the program is to end with exitCode.
bool answeredFromCommandLine(int argc, char** argv, int& exitCode)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--help" || argument == "-h") {
            std::fputs(HelpText, stdout);
            exitCode = writtenOut();
            return true;
        }
        if (argument == "--version") {
            std::printf("vescor %s\n", qPrintable(product::version()));
            exitCode = writtenOut();
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    int exitCode = 0;
    if (answeredFromCommandLine(argc, argv, exitCode))
        return exitCode;

    QCoreApplication::setApplicationName(product::applicationName());
    QCoreApplication::setOrganizationName(product::organizationName());

    g_logFilePath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Vescor.log");
    QDir().mkpath(QFileInfo(g_logFilePath).absolutePath());

    // Qt loads its plug-ins from its own folders and the program's folder
    // only: never from the folder the program happens to be started in.

    // Scaled to the screen's density: at 192 dpi the window is twice as large.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    auto* app = new QApplication(argc, argv);
    // Dialogs shown over the window carry its icon too.
    QApplication::setWindowIcon(ProgramIcon::icon());
    // Qt's own buttons and dialogs speak Russian like the rest of the window.
    QtTranslation::install();

    g_mainWindow = new MainWindow;
    g_mainWindow->show();
    qDebug() << product::applicationName() + QStringLiteral(" started");
    g_mainWindow->setWindowTitle(product::windowTitle());
    QApplication::setStyle(QStringLiteral("fusion"));

    const int code = app->exec();

    qDebug() << product::applicationName() + QStringLiteral(" finished");
    delete g_mainWindow;
    g_mainWindow = nullptr;
    delete app;
    return code;
}
