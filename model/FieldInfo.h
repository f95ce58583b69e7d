#pragma once

#include <QString>

#include <cstdint>
#include <map>

// One field of a register table: caption, storage type, editor type, attributes.
class FieldInfo
{
public:
    enum GuiType : int32_t {
        GuiUnknown = 0,
        Int = 1,
        Money = 2,
        String = 3,
        StringMasked = 4,
        List = 5,
    };

    enum DeviceType : int32_t {
        DeviceUnknown = 0,
        Bin1 = 1,
        Bin2 = 2,
        Bin2BigEndian = 3,
        Bin4 = 4,
        Bin6 = 5,
        Bcd1 = 6,
        Bcd2 = 7,
        Bcd3 = 8,
        Bcd4 = 9,
        Bcd5 = 10,
        Bcd6 = 11,
        Bcd8 = 12,
        String866 = 13,
        Ascii = 14,
        Bcd64_1 = 15,
    };

    // No text field of a register is longer (the most the register protocol carries).
    static constexpr int32_t LongestText = 4096;

    FieldInfo() = default;
    FieldInfo(const QString& name, const QString& deviceTypeText, const QString& guiTypeText);

    // Width of a bcd field whose mask is all "0" (shown zero-filled); 0 otherwise.
    int32_t zeroMaskLength() const;

    // Bytes the field takes in a whole-row read; 0 for an unknown device type.
    int rowWidth() const;
    static bool isValidDeviceType(int32_t type) { return type >= Bin1 && type <= Bcd64_1; }

    QString m_name;
    DeviceType m_deviceType = DeviceUnknown;
    GuiType m_guiType = GuiUnknown;
    std::map<uint32_t, QString> m_items;
    double m_min = 0;
    double m_max = 0;
    QString m_mask;
    bool m_ipAddress = false;
    bool m_readOnly = false;
    bool m_cliche = false;
    int32_t m_maxLength = 128;
    uint8_t m_fillCharCode = 32;
};
