#pragma once

#include "CliCommand.h"

// vescor-cli identify [--json]: the connected register's identity.
class IdentifyCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("identify"); }
    QString summary() const override;

protected:
    void describe(QCommandLineParser& parser) override;
    void execute(const QCommandLineParser& parser) override;
};
