#pragma once

// The program's diagnostic lines (qDebug and qInfo of the engines, one per
// cell while reading or writing) stay off standard error unless --verbose
// asks for them; not even QT_LOGGING_RULES turns them on behind a script's back.
class Diagnostics
{
public:
    // Installs the logging filter, quiet. Call once, first thing in main().
    static void install();
    // Lets the program's debug and info lines through, or stops them again.
    static void setVerbose(bool verbose);
};
