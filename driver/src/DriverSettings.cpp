#include "DriverSettings.h"

#include <json/reader.h>
#include <json/writer.h>

#include <arpa/inet.h>
#include <cctype>
#include <climits>
#include <cstring>
#include <exception>
#include <memory>
#include <set>
#include <sys/stat.h>

namespace tillo_emulator {

namespace {

const std::set<std::string>& numberKeys()
{
    static const std::set<std::string> keys = {"Model", "Port", "BaudRate", "Bits",
                                               "StopBits", "Parity", "IPPort", "OfdChannel"};
    return keys;
}

const std::set<std::string>& stringKeys()
{
    static const std::set<std::string> keys = {"ComFile", "UsbDevicePath", "UserPassword",
                                               "AccessPassword", "IPAddress", "MACAddress"};
    return keys;
}

bool parseInteger(const std::string& text, long long& value)
{
    if (text.empty())
        return false;
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size() || text.find_first_not_of("0123456789", i) != std::string::npos || text.size() - i > 11)
        return false;
    value = std::stoll(text);
    return true;
}

} // namespace

DriverSettings::DriverSettings()
    : m_values(Json::objectValue)
{
    m_values["Model"] = 57;
    m_values["Port"] = int(Usb);
    m_values["ComFile"] = "";
    m_values["UsbDevicePath"] = "auto";
    m_values["BaudRate"] = 115200;
    m_values["Bits"] = 8;
    m_values["StopBits"] = 1;
    m_values["Parity"] = 0;
    m_values["UserPassword"] = "30";
    m_values["AccessPassword"] = "0";
    m_values["IPAddress"] = "192.168.1.100";
    m_values["IPPort"] = 5555;
    m_values["MACAddress"] = "";
    m_values["OfdChannel"] = 0;
}

bool DriverSettings::normalize(const std::string& key, const Json::Value& value, Json::Value& out, std::string& error)
{
    if (numberKeys().count(key)) {
        long long n = 0;
        if (value.isInt64())
            n = value.asInt64();
        else if (value.isUInt64())
            n = LLONG_MAX;
        else if (!(value.isString() && parseInteger(value.asString(), n))) {
            error = "настройка \"" + key + "\" должна быть целым числом";
            return false;
        }
        if (n < INT_MIN || n > INT_MAX) {
            error = "настройка \"" + key + "\" вне допустимого диапазона";
            return false;
        }
        out = Json::Value(int(n));
        return true;
    }
    if (stringKeys().count(key)) {
        if (!value.isString()) {
            error = "настройка \"" + key + "\" должна быть строкой";
            return false;
        }
        out = value;
        return true;
    }
    out = value;
    return true;
}

bool DriverSettings::setText(const std::string& utf8, std::string& error)
{
    if (utf8.find_first_not_of(" \t\r\n") == std::string::npos)
        return true;
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    try {
        if (!reader->parse(utf8.data(), utf8.data() + utf8.size(), &root, &errors) || !root.isObject()) {
            error = "Настройки должны быть JSON-объектом";
            return false;
        }
    } catch (const std::exception& e) { // e.g. nesting beyond the parser's limit
        error = "Настройки не прочитаны: разбор JSON прерван (" + std::string(e.what()) + ")";
        return false;
    }
    Json::Value values = m_values;
    for (const std::string& key : root.getMemberNames()) {
        Json::Value v;
        if (!normalize(key, root[key], v, error))
            return false;
        values[key] = v;
    }
    m_values = std::move(values);
    return true;
}

std::string DriverSettings::text() const
{
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "    ";
    writer["emitUTF8"] = true;
    return Json::writeString(writer, m_values);
}

bool DriverSettings::setSingle(const std::string& key, const std::string& value, std::string& error)
{
    if (key.empty()) {
        error = "Пустое имя настройки";
        return false;
    }
    if (key == "Port") {
        long long number = 0;
        if (!parseInteger(value, number) || number < 1 || number > 255) {
            error = "настройка \"Port\" (номер устройства на канале) должна быть числом от 1 до 255";
            return false;
        }
        m_deviceNumber = int(number);
        return true;
    }
    Json::Value v;
    if (!normalize(key, Json::Value(value), v, error))
        return false;
    m_values[key] = v;
    return true;
}

bool DriverSettings::isValidIPv4(const std::string& text)
{
    in_addr address{};
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool DriverSettings::isValidMac(const std::string& text)
{
    if (text.size() != 17)
        return false;
    bool nonZero = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i % 3 == 2) {
            if (c != ':' && c != '-')
                return false;
        } else if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        } else if (c != '0') {
            nonZero = true;
        }
    }
    return nonZero;
}

bool DriverSettings::checkLink(const RegisterLink& link, std::string& error) const
{
    const int port = m_values["Port"].asInt();
    std::string channel;
    switch (port) {
    case Usb:
        channel = "USB";
        break;
    case Com: {
        const std::string file = m_values["ComFile"].asString();
        if (file.empty()) {
            error = "Нет связи: не выбран COM-порт";
            return false;
        }
        struct stat st;
        if (::stat(file.c_str(), &st) != 0) {
            error = "Нет связи: нет COM-порта " + file;
            return false;
        }
        if (!S_ISCHR(st.st_mode)) {
            error = "Нет связи: " + file + " не является портом";
            return false;
        }
        channel = "COM-порт " + file;
        break;
    }
    case TcpIp: {
        const std::string address = m_values["IPAddress"].asString();
        const int ipPort = m_values["IPPort"].asInt();
        if (!isValidIPv4(address) || address == "0.0.0.0") {
            error = "Нет связи: неверный IP-адрес \"" + address + "\"";
            return false;
        }
        if (ipPort < 1 || ipPort > 65535) {
            error = "Нет связи: неверный TCP-порт " + std::to_string(ipPort);
            return false;
        }
        channel = "TCP/IP " + address + ":" + std::to_string(ipPort);
        if ((!link.ipAddress.empty() && link.ipAddress != address) || (link.ipPort != 0 && link.ipPort != ipPort)) {
            error = "Нет связи: ККТ не отвечает по адресу " + address + ":" + std::to_string(ipPort);
            return false;
        }
        break;
    }
    case Bluetooth: {
        const std::string mac = m_values["MACAddress"].asString();
        if (!isValidMac(mac)) {
            error = "Нет связи: неверный MAC-адрес \"" + mac + "\"";
            return false;
        }
        channel = "Bluetooth " + mac;
        break;
    }
    default:
        error = "Нет связи: неизвестный канал связи " + std::to_string(port);
        return false;
    }
    if (m_deviceNumber != link.deviceNumber) {
        error = "Нет связи: на канале " + channel + " нет устройства с номером " + std::to_string(m_deviceNumber);
        return false;
    }
    return true;
}

} // namespace tillo_emulator
