// vescor-cli: the window's work from a shell. The first argument names the
// command; each command parses its own options.

#include "Console.h"
#include "Diagnostics.h"
#include "DiffCommand.h"
#include "ExitCode.h"
#include "ExportCommand.h"
#include "IdentifyCommand.h"
#include "ImportCommand.h"
#include "JournalCommand.h"
#include "ReportCommand.h"
#include "RevertCommand.h"
#include "SnapshotCommand.h"

#include "common/Product.h"
#include "common/QtTranslation.h"

#include <QCoreApplication>
#include <QStringList>

#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<CliCommand>> commands()
{
    std::vector<std::unique_ptr<CliCommand>> list;
    list.push_back(std::make_unique<IdentifyCommand>());
    list.push_back(std::make_unique<ExportCommand>());
    list.push_back(std::make_unique<ImportCommand>());
    list.push_back(std::make_unique<DiffCommand>());
    list.push_back(std::make_unique<JournalCommand>());
    list.push_back(std::make_unique<RevertCommand>());
    list.push_back(std::make_unique<ReportCommand>());
    list.push_back(std::make_unique<SnapshotCommand>());
    return list;
}

QString overview(const std::vector<std::unique_ptr<CliCommand>>& list)
{
    QString text = QStringLiteral("Использование: vescor-cli <команда> [параметры]\n\nКоманды:\n");
    for (const auto& command : list)
        text += QStringLiteral("  %1\n      %2\n").arg(command->name(), command->summary());
    text += QStringLiteral("\nПараметры всех команд: --settings TEXT|@FILE (настройки драйвера), --verbose "
                           "(отладочные строки в стандартный поток ошибок).\n"
                           "Справка по команде: vescor-cli <команда> --help\n"
                           "Версия программы: vescor-cli --version\n"
                           "Код выхода: 0 успех (для diff: ККТ совпадает с файлом), 1 файл или значение отклонены "
                           "(для diff: найдены расхождения), 2 ошибка в командной строке или в настройках, "
                           "3 сбой драйвера или ККТ или не удалась запись на стандартный вывод, в стандартный "
                           "вывод ошибок или в файл.");
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(product::applicationName());
    QCoreApplication::setOrganizationName(product::organizationName());
    // Standard error carries the messages and the progress; the program's
    // diagnostic lines appear only with --verbose.
    Diagnostics::install();
    QCoreApplication app(argc, argv);
    // Qt's own messages (those of the command-line parser) in Russian too.
    QtTranslation::install();

    const QStringList arguments = QCoreApplication::arguments();
    const auto list = commands();
    Console console;
    if (arguments.size() < 2) {
        console.err(overview(list));
        return console.finish(UsageError);
    }
    const QString name = arguments.at(1);
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        console.out(overview(list));
        return console.finish(Success);
    }
    // The same version as the window's title.
    if (name == QLatin1String("--version")) {
        console.out(QStringLiteral("vescor-cli ") + product::version());
        return console.finish(Success);
    }
    for (const auto& command : list) {
        if (command->name() == name)
            return command->run(arguments.mid(1));
    }
    console.err(QStringLiteral("Неизвестная команда: %1\nСправка: vescor-cli --help").arg(name));
    return console.finish(UsageError);
}
