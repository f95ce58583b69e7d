#pragma once

// The stand-in driver library that the build puts beside the test programs.

#include <QString>

QString driverLibraryPath();
// Loads it unless a library is loaded already; false (with DriverLibrary's
// loadError()) when it cannot be loaded.
bool loadTestDriver();
