#pragma once

#include <QString>

class QTemporaryDir;

// What every fuzz target needs before its first input: a Qt core application
// (codecs, files), silenced debug output, and a scratch directory for the
// inputs that the code under test reads as files.
class FuzzEnvironment
{
public:
    static void init(int* argc, char*** argv);
    static QString scratchDir();
    // Replaces the file name in the scratch directory with the bytes.
    static QString writeFile(const QString& name, const uint8_t* data, size_t size);
};
