#include "TestDriver.h"

#include "device/DriverLibrary.h"

#include <QCoreApplication>

QString driverLibraryPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libtillo10.so");
}

bool loadTestDriver()
{
    DriverLibrary& library = DriverLibrary::instance();
    return library.isLoaded() || library.loadFrom(driverLibraryPath());
}
