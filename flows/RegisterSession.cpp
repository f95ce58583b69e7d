#include "RegisterSession.h"

#include "FlowFailure.h"

#include "device/KKT_Logic.h"

RegisterSession::~RegisterSession()
{
    close();
}

const RegisterIdentity& RegisterSession::open()
{
    KKT_Logic& logic = KKT_Logic::instance();
    m_opened = true;
    m_tables.clear();
    if (logic.openAndIdentify(m_identity) != 0)
        throw FlowFailure(FlowFailure::DriverFailed, logic.lastErrorText());
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
                                                 [] { return KKT_Logic::instance().configurationVersion(); });
    if (result != 0) {
        m_tables.clear();
        throw FlowFailure(FlowFailure::Refused,
                          QStringLiteral("Ошибка чтения файла с информацией о таблицах.\n") + errorText);
    }
    return m_tables;
}

void RegisterSession::close()
{
    if (!m_opened)
        return;
    m_opened = false;
    KKT_Logic::instance().close();
}
