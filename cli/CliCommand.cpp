#include "CliCommand.h"

#include "CliFailure.h"

#include "common/Errors.h"
#include "flows/FlowFailure.h"

#include <QCommandLineOption>
#include <QCoreApplication>

namespace {

const QString SettingsOption = QStringLiteral("settings");

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
        if (!parser.parse(arguments))
            usageError(parser.errorText());
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
        execute(parser);
        return Success;
    } catch (const CliFailure& failure) {
        m_console.err(failure.message());
        return failure.code();
    } catch (const FlowFailure& failure) {
        m_console.err(failure.message());
        return failure.kind() == FlowFailure::DriverFailed ? DriverFailure : Refused;
    } catch (const RunTimeError& error) {
        m_console.err(error.message());
        return Refused;
    }
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
