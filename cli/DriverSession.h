#pragma once

#include "flows/RegisterSession.h"

#include <QString>

// The driver instance of one run of vescor-cli: created with the settings
// string handed over, destroyed at the end, with the connection closed
// before it on every path. The settings file is only read: a script does
// not change the stored connection settings.
class DriverSession
{
public:
    // settingsOption: the text of --settings ("@path" names a file holding
    // it); null when the option is absent, and then the settings file
    // (SettingsFile::defaultPath(), "Vescor.ini" beside the program or in the
    // user's configuration folder) gives them. Raises CliFailure when a file
    // cannot be read (UsageError for the settings file, Refused for "@path"),
    // when the text is neither empty nor a JSON object (UsageError) or when
    // the driver refuses it (DriverFailure).
    explicit DriverSession(const QString& settingsOption);
    ~DriverSession();
    DriverSession(const DriverSession&) = delete;
    DriverSession& operator=(const DriverSession&) = delete;

    // The register's connection; its failures raise FlowFailure.
    RegisterSession& reg() { return m_register; }

private:
    static QString settingsText(const QString& settingsOption);

    RegisterSession m_register;
};
