#pragma once

#include "app/RegisterIdentification.h"

#include <QString>

// The driver instance of one run of vescor-cli: created with the settings
// string handed over, destroyed at the end. The connection that identify()
// opens is closed when the session ends, on every path. The settings file is
// only read: a script does not change the stored connection settings.
class DriverSession
{
public:
    // settingsOption: the text of --settings ("@path" names a file holding
    // it); null when the option is absent, and then the settings file
    // (SettingsFile::defaultPath(), "Vescor.ini" beside the program) gives them. Raises CliFailure when the file cannot be
    // read or the driver refuses the text.
    explicit DriverSession(const QString& settingsOption);
    ~DriverSession();
    DriverSession(const DriverSession&) = delete;
    DriverSession& operator=(const DriverSession&) = delete;

    // Opens the connection, identifies the register and loads its model
    // description. Raises CliFailure with the window's message on failure.
    RegisterIdentification identify();

    // Opens the connection and identifies the register only.
    void open(int& modelId, QString& modelName, QString& serialNumber);

private:
    static QString settingsText(const QString& settingsOption);
    void failWithDriverError();

    bool m_opened = false;
};
