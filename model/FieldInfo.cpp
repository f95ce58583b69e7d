#include "FieldInfo.h"

#include <QDebug>

#include <iterator>

namespace {

// Names as the model description file spells them, in enumeration order.
const char* const kGuiTypeNames[] = { "int", "money", "string", "string_masked", "list" };
const char* const kDeviceTypeNames[] = {
    "bin1", "bin2", "bin2_big_endian", "bin4", "bin6",
    "bcd1", "bcd2", "bcd3", "bcd4", "bcd5", "bcd6", "bcd8",
    "string866", "ascii", "bcd64_1",
};

void logTypeError(const char* head, const QString& name, const QString& deviceTypeText, const QString& guiTypeText)
{
    QDebug line = qDebug();
    line << head << name << " _deviceTypeStr = ";
    line.nospace() << deviceTypeText << " _guiTypeStr ";
    line.space() << guiTypeText; // space() itself writes the separating blank
}

} // namespace

FieldInfo::FieldInfo(const QString& name, const QString& deviceTypeText, const QString& guiTypeText)
    : m_name(name)
{
    for (int i = 0; i < int(std::size(kGuiTypeNames)); ++i) {
        if (guiTypeText == QLatin1String(kGuiTypeNames[i])) {
            m_guiType = GuiType(i + 1);
            break;
        }
    }
    if (m_guiType == GuiUnknown)
        logTypeError("Error in FieldInfo::FieldInfo(), wrong _guiTypeStr. _name = ", name, deviceTypeText, guiTypeText);

    for (int i = 0; i < int(std::size(kDeviceTypeNames)); ++i) {
        if (deviceTypeText == QLatin1String(kDeviceTypeNames[i])) {
            m_deviceType = DeviceType(i + 1);
            break;
        }
    }
    if (m_deviceType == DeviceUnknown)
        logTypeError("Error in FieldInfo::FieldInfo(), wrong _deviceType. _name = ", name, deviceTypeText, guiTypeText);

    qDebug() << name << " " << deviceTypeText << " " << guiTypeText
             << "m_guiType = " << int(m_guiType) << " m_deviceType = " << int(m_deviceType);
}

int32_t FieldInfo::zeroMaskLength() const
{
    if (m_deviceType < Bcd1 || m_deviceType > Bcd8)
        return 0;
    if (m_guiType != StringMasked)
        return 0;
    for (const QChar c : m_mask) {
        if (c != QLatin1Char('0'))
            return 0;
    }
    return m_mask.size();
}

int FieldInfo::rowWidth() const
{
    switch (m_deviceType) {
    case Bin1:
    case Bcd1:
        return 1;
    case Bin2:
    case Bin2BigEndian:
    case Bcd2:
        return 2;
    case Bcd3:
        return 3;
    case Bin4:
    case Bcd4:
        return 4;
    case Bcd5:
        return 5;
    case Bin6:
    case Bcd6:
        return 6;
    case Bcd8:
        return 8;
    case String866:
    case Ascii:
        return m_maxLength > 0 ? m_maxLength : 0;
    case Bcd64_1:
        return 64;
    case DeviceUnknown:
        break;
    }
    return 0;
}
