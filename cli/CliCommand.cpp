#include "CliCommand.h"

#include "CliFailure.h"
#include "Diagnostics.h"

#include "common/Errors.h"
#include "flows/FlowFailure.h"

#include <QCommandLineOption>
#include <QCoreApplication>

namespace {

const QString SettingsOption = QStringLiteral("settings");
const QString VerboseOption = QStringLiteral("verbose");

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
    parser.addOption({VerboseOption,
                      QStringLiteral("Выводить в стандартный поток ошибок отладочные строки (по строке на ячейку).")});
    describe(parser);

    try {
        if (!parser.parse(arguments))
            usageError(parser.errorText());
        Diagnostics::setVerbose(parser.isSet(VerboseOption));
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
        m_exitStatus = Success;
        execute(parser);
        return m_exitStatus;
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
