#pragma once

#include "CliCommand.h"

// vescor-cli snapshot save|show|diff|restore FILE: the whole register in one
// file, the file's manifest, the register against the file cell by cell, and
// the file written back into the register.
class SnapshotCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("snapshot"); }
    QString summary() const override;

protected:
    void describe(QCommandLineParser& parser) override;
    void execute(const QCommandLineParser& parser) override;

private:
    void save(const QCommandLineParser& parser, const QString& path);
    void show(const QString& path);
    void diff(const QCommandLineParser& parser, const QString& path);
    void diffFiles(const QCommandLineParser& parser, const QString& first, const QString& second);
    void restore(const QCommandLineParser& parser, const QString& path);
};
