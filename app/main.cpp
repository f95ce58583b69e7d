#include "MainWindow.h"
#include "common/Product.h"
#include "common/QtTranslation.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

// Where a log file would go; the program writes its diagnostics to Qt's debug stream.
QString g_logFilePath;
MainWindow* g_mainWindow = nullptr;

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(product::applicationName());
    QCoreApplication::setOrganizationName(product::organizationName());

    g_logFilePath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Vescor.log");
    QDir().mkpath(QFileInfo(g_logFilePath).absolutePath());

    QStringList libraryPaths = QCoreApplication::libraryPaths();
    libraryPaths << QStringLiteral(".") << QStringLiteral("platforms");
    QCoreApplication::setLibraryPaths(libraryPaths);

    // Scaled to the screen's density: at 192 dpi the window is twice as large.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    auto* app = new QApplication(argc, argv);
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
