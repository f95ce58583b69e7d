#include "DriverSettingsJson.h"

#include "JsonText.h"

#include <json/json.h>

namespace {

Json::Value parse(const QString& text)
{
    Json::Value root;
    QString error;
    JsonText::parse(text, root, error);
    return root;
}

int intMember(const Json::Value& root, const char* key)
{
    const Json::Value& v = root[key];
    if (v.isString() || !v.isConvertibleTo(Json::intValue))
        return 0;
    return v.asInt();
}

QString stringMember(const Json::Value& root, const char* key)
{
    const Json::Value& v = root[key];
    if (!v.isConvertibleTo(Json::stringValue))
        return QString();
    return QString::fromStdString(v.asString());
}

} // namespace

DriverSettings DriverSettingsJson::fromText(const QString& text)
{
    const Json::Value root = parse(text);
    DriverSettings s;
    if (!root.isObject())
        return s;
    s.Model = intMember(root, "Model");
    s.Port = intMember(root, "Port");
    s.ComFile = stringMember(root, "ComFile");
    s.UsbDevicePath = stringMember(root, "UsbDevicePath");
    s.BaudRate = intMember(root, "BaudRate");
    s.Bits = intMember(root, "Bits");
    s.StopBits = intMember(root, "StopBits");
    s.Parity = intMember(root, "Parity");
    s.UserPassword = stringMember(root, "UserPassword");
    s.AccessPassword = stringMember(root, "AccessPassword");
    s.IPAddress = stringMember(root, "IPAddress");
    s.IPPort = intMember(root, "IPPort");
    s.MACAddress = stringMember(root, "MACAddress");
    s.OfdChannel = intMember(root, "OfdChannel");
    return s;
}

bool DriverSettingsJson::check(const QString& text, QString& error)
{
    error.clear();
    if (text.trimmed().isEmpty())
        return true;
    Json::Value root;
    if (!JsonText::parse(text, root, error))
        return false;
    if (!root.isObject()) {
        error = QStringLiteral("настройки должны быть объектом JSON ({...})");
        return false;
    }
    return true;
}

QString DriverSettingsJson::toText(const DriverSettings& s)
{
    Json::Value root(Json::objectValue);
    root["Model"] = s.Model;
    root["Port"] = s.Port;
    root["ComFile"] = s.ComFile.toStdString();
    root["UsbDevicePath"] = s.UsbDevicePath.toStdString();
    root["BaudRate"] = s.BaudRate;
    root["Bits"] = s.Bits;
    root["StopBits"] = s.StopBits;
    root["Parity"] = s.Parity;
    root["UserPassword"] = s.UserPassword.toStdString();
    root["AccessPassword"] = s.AccessPassword.toStdString();
    root["IPAddress"] = s.IPAddress.toStdString();
    root["IPPort"] = s.IPPort;
    root["MACAddress"] = s.MACAddress.toStdString();
    root["OfdChannel"] = s.OfdChannel;
    Json::StyledWriter writer;
    return QString::fromStdString(writer.write(root));
}
