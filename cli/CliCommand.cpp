#include "CliCommand.h"

#include "CliFailure.h"

#include "common/Errors.h"
#include "flows/FlowFailure.h"

#include <QCommandLineOption>
#include <QCoreApplication>

namespace {

const QString SettingsOption = QStringLiteral("settings");
const QString JsonOption = QStringLiteral("json");

} // namespace

int CliCommand::run(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(summary());
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Показать эту справку."));
    parser.addOption(help);
    parser.addOption({SettingsOption,
                      QStringLiteral("Строка настроек драйвера (или @файл с ней); без параметра — Vescor.ini рядом "
                                     "с программой (или ~/.config/Vescor/Vescor.ini, когда папка программы "
                                     "закрыта для записи)."),
                      QStringLiteral("TEXT|@FILE")});
    describe(parser);

    try {
        if (!parser.parse(arguments)) {
            // A caller that asked for JSON gets its usage error as JSON too.
            if (m_offersJson && arguments.contains(QStringLiteral("--") + JsonOption))
                m_report = std::make_unique<JsonReport>(name());
            usageError(parser.errorText());
        }
        if (parser.isSet(help)) {
            QString text = parser.helpText();
            // The parser names the program; the command belongs beside it.
            const int lineEnd = text.indexOf(QLatin1Char('\n'));
            const QString usage = text.left(lineEnd);
            const int options = usage.indexOf(QStringLiteral(" [options]"));
            text.replace(0, options, QStringLiteral("Usage: vescor-cli ") + name());
            m_console.out(text.trimmed());
            return Success;
        }
        if (m_offersJson && parser.isSet(JsonOption)) {
            m_report = std::make_unique<JsonReport>(name());
            m_console.keepOutputForData();
        }
        execute(parser);
        if (m_report)
            m_console.data(m_report->toJson());
        return Success;
    } catch (const CliFailure& failure) {
        return fail(failure.code(), failure.message(), {});
    } catch (const FlowFailure& failure) {
        return fail(failure.kind() == FlowFailure::DriverFailed ? DriverFailure : Refused, failure.message(),
                    failure.places());
    } catch (const RunTimeError& error) {
        return fail(Refused, error.message(), {});
    }
}

int CliCommand::fail(ExitCode code, const QString& message, const QVector<FlowFailure::Place>& places)
{
    m_console.err(message);
    if (m_report) {
        m_report->setError(message, places);
        m_console.data(m_report->toJson());
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
