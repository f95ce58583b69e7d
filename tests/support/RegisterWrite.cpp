#include "RegisterWrite.h"

#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"

bool writeRawCells(const QList<RawCell>& cells)
{
    KKT_Logic& logic = KKT_Logic::instance();
    if (logic.openAndIdentify(nullptr, nullptr, nullptr) != 0)
        return false;
    DriverLibrary& driver = DriverLibrary::instance();
    bool written = true;
    for (const RawCell& cell : cells) {
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_TABLE, int(cell.table));
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_ROW, cell.row);
        driver.setParamInt(logic.handle(), LIBTILLO_PARAM_FIELD, cell.field);
        driver.setParamByteArray(logic.handle(), LIBTILLO_PARAM_VALUE,
                                 reinterpret_cast<const unsigned char*>(cell.bytes.constData()), cell.bytes.size());
        written = written && driver.writeDeviceSettingRaw(logic.handle()) == 0;
    }
    written = written && driver.commitSettings(logic.handle()) == 0;
    logic.close();
    return written;
}
