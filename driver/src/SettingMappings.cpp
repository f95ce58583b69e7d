#include "SettingMappings.h"

#include "DriverSettings.h"

#include <json/value.h>
#include <json/writer.h>

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace tillo_emulator {

namespace {

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Orders ttyS2 before ttyS10.
bool naturalLess(const std::string& a, const std::string& b)
{
    const auto split = [](const std::string& s) {
        const size_t digits = s.find_last_not_of("0123456789") + 1;
        const std::string tail = s.substr(digits);
        return std::make_pair(s.substr(0, digits), tail.empty() ? -1L : std::stol(tail.substr(0, 9)));
    };
    return split(a) < split(b);
}

// Serial ports backed by a device: /sys/class/tty entries with a device link;
// the legacy ttyS ports only when a UART answers (type other than 0).
std::vector<std::string> serialPorts(const std::vector<const char*>& prefixes)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir("/sys/class/tty");
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (std::none_of(prefixes.begin(), prefixes.end(), [&](const char* p) { return startsWith(name, p); }))
            continue;
        const std::string sys = "/sys/class/tty/" + name;
        if (!exists(sys + "/device") || !exists("/dev/" + name))
            continue;
        if (startsWith(name, "ttyS")) {
            std::ifstream type(sys + "/type");
            int uart = 0;
            if (!(type >> uart) || uart == 0)
                continue;
        }
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

Json::Value entry(const Json::Value& key, const std::string& description)
{
    Json::Value e(Json::objectValue);
    e["key"] = key;
    e["description"] = description;
    return e;
}

} // namespace

bool SettingMappings::mapping(const std::string& key, std::string& json)
{
    Json::Value list(Json::arrayValue);
    if (key == "Port") {
        list.append(entry(int(DriverSettings::Com), "COM-порт"));
        list.append(entry(int(DriverSettings::Usb), "USB"));
        list.append(entry(int(DriverSettings::TcpIp), "TCP/IP"));
        list.append(entry(int(DriverSettings::Bluetooth), "Bluetooth"));
    } else if (key == "ComFile") {
        for (const std::string& name : serialPorts({"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "rfcomm"}))
            list.append(entry("/dev/" + name, "/dev/" + name));
    } else if (key == "BaudRate") {
        for (int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600})
            list.append(entry(rate, std::to_string(rate)));
    } else if (key == "UsbDevicePath") {
        list.append(entry("auto", "Автоматически"));
        for (const std::string& name : serialPorts({"ttyACM", "ttyUSB"}))
            list.append(entry("/dev/" + name, "/dev/" + name));
    } else {
        return false;
    }
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    writer["emitUTF8"] = true;
    json = Json::writeString(writer, list);
    return true;
}

} // namespace tillo_emulator
