#pragma once

#include "RegisterLink.h"

#include <json/value.h>

#include <string>

namespace tillo_emulator {

// The connection settings of one driver handle: a JSON object with the
// fourteen keys the program edits (Model, Port, ComFile, ...) and any others
// a caller hands in. Known keys keep their JSON type; a text that would give a
// known key another type is refused whole.
class DriverSettings
{
public:
    enum Channel { Com = 0, Usb = 1, TcpIp = 2, Bluetooth = 3 };

    DriverSettings();

    // An empty text changes nothing; anything else must be a JSON object.
    bool setText(const std::string& utf8, std::string& error);
    std::string text() const;

    // One key from text, as set_single_setting hands it (numbers as digits).
    // "Port" here is the number of the device on the channel (1..255), which
    // the text keeps no record of; the channel is the text's own "Port".
    bool setSingle(const std::string& key, const std::string& value, std::string& error);
    int deviceNumber() const { return m_deviceNumber; }

    // Whether the chosen channel reaches the register described by link; false with the reason.
    bool checkLink(const RegisterLink& link, std::string& error) const;

    static bool isValidIPv4(const std::string& text);
    static bool isValidMac(const std::string& text);

private:
    static bool normalize(const std::string& key, const Json::Value& value, Json::Value& out, std::string& error);

    Json::Value m_values;
    int m_deviceNumber = 1;
};

} // namespace tillo_emulator
