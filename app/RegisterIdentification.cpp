#include "RegisterIdentification.h"

#include "device/KKT_Logic.h"

RegisterIdentification::Outcome RegisterIdentification::run()
{
    m_tables.clear();
    m_failureText.clear();
    if (KKT_Logic::instance().openAndIdentify(&m_modelId, &m_modelName, &m_serialNumber) != 0)
        return DriverFailed;

    QString errorText;
    if (TableInfo::readTablesInfo(uint32_t(m_modelId), m_tables, errorText) != 0) {
        m_tables.clear();
        m_failureText = QStringLiteral("Ошибка чтения файла с информацией о таблицах.\n") + errorText;
        return DescriptionRefused;
    }
    return Ready;
}
