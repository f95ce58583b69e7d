#pragma once

#include <QCoreApplication>
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

inline CliRun runCli(const QStringList& arguments, const QString& workingDir, const QString& program = cliProgram())
{
    QProcess process;
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

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
