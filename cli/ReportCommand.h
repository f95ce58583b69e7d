#pragma once

#include "CliCommand.h"

// vescor-cli report WRITE... [--since TIME] [--serial N] -o FILE.html: the
// chosen writes of one register's journal as a report to print or send.
class ReportCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("report"); }
    QString summary() const override;

protected:
    void describe(QCommandLineParser& parser) override;
    void execute(const QCommandLineParser& parser) override;
};
