#pragma once

#include "Console.h"
#include "ExitCode.h"
#include "JsonReport.h"

#include "exchange/FileEncoding.h"

#include <QCommandLineParser>
#include <QPair>
#include <QVector>
#include <QString>
#include <QStringList>

#include <memory>

// One command of vescor-cli with its own options. The base parses the command
// line (adding --settings and --help), turns failures into messages on
// standard error and an exit status. A command that offers --json reports
// on standard output as one JSON object instead, its failures included.
class CliCommand
{
public:
    virtual ~CliCommand() = default;

    // arguments: the command's name followed by its own arguments. A write
    // to standard output, standard error or a file that failed ends it with
    // status 3 and the system's reason.
    int run(const QStringList& arguments);

    virtual QString name() const = 0;
    // One line for the list of commands.
    virtual QString summary() const = 0;

protected:
    // Adds the command's options and positional arguments to the parser.
    virtual void describe(QCommandLineParser& parser) = 0;
    // Runs after a successful parse; raises CliFailure, FlowFailure or RunTimeError.
    // A command that ends well but with news for a script (diff: differences
    // found) sets m_exitStatus.
    virtual void execute(const QCommandLineParser& parser) = 0;

    // The --settings text, null when the option is absent.
    QString settingsOption(const QCommandLineParser& parser) const;
    // Raises a usage error with the command's help hint.
    [[noreturn]] void usageError(const QString& message) const;

    // Whether --quiet asked for no progress line.
    bool quiet() const { return m_quiet; }

    // Offers --encoding for the CSV files; called from describe().
    void addEncodingOption(QCommandLineParser& parser, const QString& description);
    // The encoding --encoding names; Detect without it. A name it does not know is a usage error.
    FileEncoding::Choice encodingOption(const QCommandLineParser& parser) const;

    // Offers --json; called from describe().
    void addJsonOption(QCommandLineParser& parser);

    // For a command of several actions (the first positional argument names
    // one): the actions it knows; before any work a missing or unknown action
    // is a usage error. Called from describe().
    void setActions(const QStringList& actions) { m_actions = actions; }
    // Offers an option that only the given actions take, its description
    // headed by their names; given to another action it is a usage error
    // before any work. Called from describe(), after setActions().
    void addActionOption(QCommandLineParser& parser, QCommandLineOption option, const QStringList& actions);
    // The report of a run with --json, else null.
    JsonReport* jsonReport() { return m_report.get(); }

    Console m_console;
    ExitCode m_exitStatus = Success;

private:
    int runParsed(const QStringList& arguments);
    int fail(ExitCode code, const QString& message, const QVector<FlowFailure::Place>& places);
    // Raises a usage error for a missing or unknown action, or an option its action does not take.
    void checkAction(const QCommandLineParser& parser) const;

    bool m_offersJson = false;
    bool m_quiet = false;
    std::unique_ptr<JsonReport> m_report;
    QStringList m_actions;
    QVector<QPair<QString, QStringList>> m_actionOptions; // an option's name, the actions that take it
};
