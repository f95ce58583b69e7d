#include "support/RegisterFolder.h"

RegisterFolder::RegisterFolder(const EmulatorImage& image, bool trace)
    : m_dataHome(qgetenv("XDG_DATA_HOME"))
{
    if (!isValid())
        return;
    qputenv("XDG_DATA_HOME", filePath(QStringLiteral("data")).toUtf8());
    m_image = image.install(*this, trace);
}

RegisterFolder::~RegisterFolder()
{
    EmulatorImage::uninstall();
    qputenv("XDG_DATA_HOME", m_dataHome);
}

QString RegisterFolder::journalDir() const
{
    return filePath(QStringLiteral("data/Orvane/Vescor/journal"));
}
