#pragma once

#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the built vescor-cli (beside the test program unless a path is given)
// in a working directory and keeps what it said.
struct CliRun
{
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;

    QStringList outLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

inline QString cliProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/vescor-cli");
}

// With QProcess::MergedChannels, `out` holds both in the order written.
inline CliRun runCli(const QStringList& arguments, const QString& workingDir, const QString& program = cliProgram(),
                     QProcess::ProcessChannelMode channels = QProcess::SeparateChannels)
{
    QProcess process;
    process.setProcessChannelMode(channels);
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDir);
    process.start();
    CliRun run;
    // No time limit of our own: the test's own timeout covers a hung program.
    run.finished = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// The same with standard output, standard error or both going to a file
// (such as /dev/full, where every write fails for want of room); an empty
// name keeps that stream read as runCli does.
inline CliRun runCliInto(const QStringList& arguments, const QString& workingDir, const QString& outFile,
                         const QString& errFile = QString())
{
    QProcess process;
    if (!outFile.isEmpty())
        process.setStandardOutputFile(outFile);
    if (!errFile.isEmpty())
        process.setStandardErrorFile(errFile);
    process.setProgram(cliProgram());
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDir);
    process.start();
    CliRun run;
    run.finished = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// Exports one table with vescor-cli into dir; the file it wrote, or an empty
// text (and a logged reason) when it wrote none.
inline QString cliExport(const QString& dir, int table, const QString& workingDir)
{
    const CliRun run = runCli({"export", dir, "--tables", QString::number(table)}, workingDir);
    if (run.exitCode != 0 || run.outLines().size() != 1) {
        qWarning() << run.exitCode << run.out << run.err;
        return QString();
    }
    return run.outLines().first();
}
