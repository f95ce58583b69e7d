#pragma once

#include "CliCommand.h"

#include <QJsonObject>
#include <QStringList>

struct RecordedWrite;

// vescor-cli journal [WRITE] [--serial N] [--json]: the writes of the
// registers' journals, newest first, or the cells of one write.
class JournalCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("journal"); }
    QString summary() const override;

    // A write as the --json output shows it.
    static QJsonObject toJson(const RecordedWrite& write);

protected:
    void describe(QCommandLineParser& parser) override;
    void execute(const QCommandLineParser& parser) override;

private:
    // Journal lines skipped and journals not read, as warnings on standard error.
    void reportProblems(const QStringList& problems);
};
