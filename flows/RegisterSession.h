#pragma once

#include "device/RegisterIdentity.h"
#include "model/TableInfo.h"

#include <QList>

// The first steps of every command that works on the register: open the
// connection, identify the register and, where the tables are needed, load
// its model description. The connection is closed when the session ends, on
// every path.
class RegisterSession
{
public:
    RegisterSession() = default;
    ~RegisterSession();
    RegisterSession(const RegisterSession&) = delete;
    RegisterSession& operator=(const RegisterSession&) = delete;

    // Opens and identifies. Raises FlowFailure (DriverFailed) with the driver's text.
    const RegisterIdentity& open();
    // open(), then the model description of the register's model: raises
    // FlowFailure (Refused) when it is missing or refused.
    const QList<TableInfo>& openWithDescription();
    // The model description of the register that open() identified; raises as above.
    const QList<TableInfo>& loadDescription();

    // Ends the connection now; the destructor then has nothing to do.
    void close();

    // Known once open() has identified the register, also when loading the
    // description failed afterwards.
    const RegisterIdentity& identity() const { return m_identity; }
    const QList<TableInfo>& tables() const { return m_tables; }

private:
    bool m_opened = false;
    RegisterIdentity m_identity;
    QList<TableInfo> m_tables;
};
