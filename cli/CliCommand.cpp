#include "CliCommand.h"

#include "CliFailure.h"
#include "Diagnostics.h"

#include "common/Errors.h"
#include "flows/FlowFailure.h"

#include <QCommandLineOption>
#include <QCoreApplication>

#include <csignal>
#include <exception>
#include <new>

namespace {

const QString SettingsOption = QStringLiteral("settings");
const QString VerboseOption = QStringLiteral("verbose");
const QString QuietOption = QStringLiteral("quiet");
const QString JsonOption = QStringLiteral("json");
const QString EncodingOption = QStringLiteral("encoding");

} // namespace

int CliCommand::run(const QStringList& arguments)
{
    return m_console.finish(runParsed(arguments));
}

int CliCommand::runParsed(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(summary());
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Показать эту справку."));
    parser.addOption(help);
    parser.addOption({SettingsOption,
                      QStringLiteral("Строка настроек драйвера (или @файл с ней); без параметра — "
                                     "~/.config/Vescor/Vescor.ini (или Vescor.ini рядом с программой, запущенной "
                                     "из папки сборки или из переносной папки с этим файлом)."),
                      QStringLiteral("TEXT|@FILE")});
    parser.addOption({VerboseOption,
                      QStringLiteral("Выводить в стандартный поток ошибок отладочные строки (по строке на ячейку).")});
    parser.addOption({QuietOption,
                      QStringLiteral("Не показывать в терминале строку хода чтения и записи.")});
    describe(parser);

    try {
        if (!parser.parse(arguments)) {
            // A caller that asked for JSON gets its usage error as JSON too.
            if (m_offersJson && arguments.contains(QStringLiteral("--") + JsonOption))
                m_report = std::make_unique<JsonReport>(name(), m_console);
            usageError(parser.errorText());
        }
        Diagnostics::setVerbose(parser.isSet(VerboseOption));
        m_quiet = parser.isSet(QuietOption);
        if (parser.isSet(help)) {
            QString text = parser.helpText();
            // The parser names the program as it was called; the command belongs beside it.
            const QString called = QCoreApplication::arguments().value(0);
            const int lineEnd = text.indexOf(QLatin1Char('\n'));
            const int program = text.left(lineEnd).indexOf(called);
            if (program >= 0)
                text.replace(program, called.size(), QStringLiteral("vescor-cli ") + name());
            m_console.out(text.trimmed());
            return Success;
        }
        if (m_offersJson && parser.isSet(JsonOption)) {
            m_report = std::make_unique<JsonReport>(name(), m_console);
            m_console.keepOutputForData();
            // The report goes out between the tables a command writes: a reader
            // that leaves early fails the output (status 3), it does not stop the
            // command before its last table.
            std::signal(SIGPIPE, SIG_IGN);
        }
        checkAction(parser);
        m_exitStatus = Success;
        execute(parser);
        if (m_report)
            m_report->finish();
        return m_exitStatus;
    } catch (const CliFailure& failure) {
        return fail(failure.code(), failure.message(), {});
    } catch (const FlowFailure& failure) {
        const ExitCode code = failure.kind() == FlowFailure::DriverFailed ? DriverFailure
            : failure.kind() == FlowFailure::WriteFailed                  ? WriteFailure
                                                                          : Refused;
        return fail(code, failure.message(),
                    failure.places());
    } catch (const FileWriteError& error) {
        return fail(WriteFailure, error.message(), {});
    } catch (const RunTimeError& error) {
        return fail(Refused, error.message(), {});
    } catch (const std::bad_alloc&) {
        // Unwinding gave back what the command held: enough for the message.
        return fail(DriverFailure, QStringLiteral("Команда %1 прервана: не хватило памяти").arg(name()), {});
    } catch (const std::exception& error) {
        return fail(DriverFailure, QStringLiteral("Команда %1 прервана из-за внутренней ошибки: %2")
                                       .arg(name(), QString::fromLocal8Bit(error.what())),
                    {});
    }
}

int CliCommand::fail(ExitCode code, const QString& message, const QVector<FlowFailure::Place>& places)
{
    m_console.err(message);
    if (m_report) {
        m_report->setError(message, places);
        m_report->finish();
    }
    return code;
}

void CliCommand::addJsonOption(QCommandLineParser& parser)
{
    m_offersJson = true;
    parser.addOption({JsonOption,
                      QStringLiteral("Вывести результат одним объектом JSON на стандартный вывод (и ошибку тоже); "
                                     "сообщения остаются на стандартном выводе ошибок.")});
}

void CliCommand::addActionOption(QCommandLineParser& parser, QCommandLineOption option, const QStringList& actions)
{
    option.setDescription(actions.join(QStringLiteral(", ")) + QStringLiteral(": ") + option.description());
    parser.addOption(option);
    m_actionOptions.append({option.names().constLast(), actions});
}

void CliCommand::checkAction(const QCommandLineParser& parser) const
{
    if (m_actions.isEmpty())
        return;
    const QString action = parser.positionalArguments().value(0);
    if (action.isEmpty()) {
        const QString choice = m_actions.size() > 1
            ? QStringList(m_actions.mid(0, m_actions.size() - 1)).join(QStringLiteral(", ")) + QStringLiteral(" или ")
                + m_actions.constLast()
            : m_actions.constFirst();
        usageError(QStringLiteral("Не указано действие: %1").arg(choice));
    }
    if (!m_actions.contains(action))
        usageError(QStringLiteral("Неизвестное действие: %1").arg(action));
    for (const auto& option : m_actionOptions) {
        if (parser.isSet(option.first) && !option.second.contains(action)) {
            usageError(QStringLiteral("Действие %1 не принимает параметр --%2 (его принимают: %3)")
                           .arg(action, option.first, option.second.join(QStringLiteral(", "))));
        }
    }
}

void CliCommand::addEncodingOption(QCommandLineParser& parser, const QString& description)
{
    parser.addOption({EncodingOption, description, FileEncoding::names()});
}

FileEncoding::Choice CliCommand::encodingOption(const QCommandLineParser& parser) const
{
    FileEncoding::Choice choice = FileEncoding::Detect;
    if (parser.isSet(EncodingOption) && !FileEncoding::parse(parser.value(EncodingOption), choice))
        usageError(QStringLiteral("Неизвестная кодировка: \"%1\" (нужна %2)")
                       .arg(parser.value(EncodingOption), FileEncoding::names()));
    return choice;
}

QString CliCommand::settingsOption(const QCommandLineParser& parser) const
{
    if (!parser.isSet(SettingsOption))
        return QString();
    const QString value = parser.value(SettingsOption);
    // An empty --settings "" hands an empty text over, not the stored one.
    return value.isNull() ? QStringLiteral("") : value;
}

void CliCommand::usageError(const QString& message) const
{
    throw CliFailure(UsageError, QStringLiteral("%1\nСправка: vescor-cli %2 --help").arg(message, name()));
}
