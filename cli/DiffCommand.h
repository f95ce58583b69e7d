#pragma once

#include "CliCommand.h"

// vescor-cli diff FILE [--json]: the cells where a CSV file and the register differ.
class DiffCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("diff"); }
    QString summary() const override;

protected:
    void describe(QCommandLineParser& parser) override;
    void execute(const QCommandLineParser& parser) override;
};
