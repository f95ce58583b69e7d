#pragma once

#include "device/KKT_Logic.h"
#include "model/FieldInfo.h"

#include <cstdint>

// A field descriptor chosen by two input bytes: the device type (0..16, so that
// unknown types come up too) and the editor type, address flag, mask and
// character set bits.
struct FuzzField
{
    FieldInfo field;
    QTextCodec* codec = nullptr;

    FuzzField(uint8_t type, uint8_t flags)
    {
        field.m_deviceType = FieldInfo::DeviceType(type % 17);
        field.m_guiType = FieldInfo::GuiType((flags & 7) % 6);
        field.m_ipAddress = flags & 0x08;
        if (flags & 0x10)
            field.m_mask = QStringLiteral("0000000000000");
        if (field.m_guiType == FieldInfo::List)
            field.m_items = {{0, QStringLiteral("Нет")}, {1, QStringLiteral("Да")}};
        codec = (flags & 0x20) ? KKT_Logic::internalCodec() : KKT_Logic::externalCodec();
    }
};
