#pragma once

#include "CliCommand.h"

// vescor-cli revert WRITE [--dry-run]: the cells of a journal's write back to
// their values before it, one commit per table, journaled as a new write.
class RevertCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("revert"); }
    QString summary() const override;

protected:
    void describe(QCommandLineParser& parser) override;
    void execute(const QCommandLineParser& parser) override;
};
