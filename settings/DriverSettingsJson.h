#pragma once

#include "DriverSettings.h"

#include <QString>

// The driver's settings text (a JSON object) to and from the settings record.
class DriverSettingsJson
{
public:
    // A text that does not parse, is not an object, or lacks a key gives the
    // empty value for that key; so does a key whose value has the wrong type.
    static DriverSettings fromText(const QString& text);
    // Whether the text may go to the driver: empty (the driver's defaults) or
    // a JSON object. Otherwise error says why, for the user.
    static bool check(const QString& text, QString& error);
    // The fourteen keys, numbers as integers, in the JSON library's styled layout.
    static QString toText(const DriverSettings& settings);
};
