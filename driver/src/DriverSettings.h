#pragma once

#include <json/value.h>

#include <string>

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
    bool setSingle(const std::string& key, const std::string& value, std::string& error);

    // Whether the chosen channel reaches a register; false with the reason.
    // registerAddress: the address the register answers at over TCP/IP, empty for any.
    bool checkLink(const std::string& registerAddress, std::string& error) const;

    static bool isValidIPv4(const std::string& text);
    static bool isValidMac(const std::string& text);

private:
    static bool normalize(const std::string& key, const Json::Value& value, Json::Value& out, std::string& error);

    Json::Value m_values;
};
