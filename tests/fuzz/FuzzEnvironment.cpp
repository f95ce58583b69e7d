#include "FuzzEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir* s_dir = nullptr;

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

void FuzzEnvironment::init(int* argc, char*** argv)
{
    if (QCoreApplication::instance())
        return;
    new QCoreApplication(*argc, *argv); // lives as long as the process
    qInstallMessageHandler(dropMessage);
    s_dir = new QTemporaryDir();
    if (!s_dir->isValid()) {
        std::fprintf(stderr, "no scratch directory\n");
        std::abort();
    }
}

QString FuzzEnvironment::scratchDir()
{
    return s_dir->path();
}

QString FuzzEnvironment::writeFile(const QString& name, const uint8_t* data, size_t size)
{
    const QString path = s_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    return path;
}
