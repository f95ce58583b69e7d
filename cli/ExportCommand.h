#pragma once

#include "CliCommand.h"

// vescor-cli export DIR [--tables ...]: the chosen tables of the register into
// one CSV file each, named as the window's export of all tables names them.
class ExportCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("export"); }
    QString summary() const override;

protected:
    void describe(QCommandLineParser& parser) override;
    void execute(const QCommandLineParser& parser) override;
};
