#pragma once

#include <string>

namespace tillo_emulator {

// The values a setting can take, for the settings dialog: a JSON array of
// {"key", "description"} objects for "Port", "ComFile", "BaudRate" and
// "UsbDevicePath". ComFile and UsbDevicePath list the devices present now.
class SettingMappings
{
public:
    // False for a key without a list.
    static bool mapping(const std::string& key, std::string& json);
};

} // namespace tillo_emulator
