#include "RegisterSession.h"

#include "FlowFailure.h"

#include "device/KKT_Logic.h"

RegisterSession::RegisterSession(KKT_Logic& logic)
    : m_logic(logic)
{
}

RegisterSession::~RegisterSession()
{
    close();
}

const RegisterIdentity& RegisterSession::open()
{
    m_opened = true;
    m_tables.clear();
    if (m_logic.openAndIdentify(m_identity) != 0)
        throw FlowFailure(FlowFailure::DriverFailed, m_logic.lastErrorText());
    return m_identity;
}

const QList<TableInfo>& RegisterSession::openWithDescription()
{
    open();
    return loadDescription();
}

const QList<TableInfo>& RegisterSession::loadDescription()
{
    QString errorText;
    const int result = TableInfo::readTablesInfo(uint32_t(m_identity.modelCode), m_tables, errorText,
                                                 [this] { return m_logic.configurationVersion(); });
    if (result != 0) {
        m_tables.clear();
        throw FlowFailure(FlowFailure::Refused,
                          QStringLiteral("Ошибка чтения файла с информацией о таблицах.\n") + errorText);
    }
    return m_tables;
}

int RegisterSession::configurationVersion() const
{
    return m_logic.configurationVersion();
}

void RegisterSession::close()
{
    if (!m_opened)
        return;
    m_opened = false;
    m_logic.close();
}

RegisterLink RegisterSession::link() const
{
    return m_logic.link();
}
