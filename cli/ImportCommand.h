#pragma once

#include "CliCommand.h"

// vescor-cli import FILE... [--dry-run] [--only-different] [--json]: CSV files into
// their tables of the register, one commit per table.
class ImportCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("import"); }
    QString summary() const override;

protected:
    void describe(QCommandLineParser& parser) override;
    void execute(const QCommandLineParser& parser) override;
};
