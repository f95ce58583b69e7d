#pragma once

#include "device/RegisterIdentity.h"
#include "device/RegisterLink.h"
#include "model/TableInfo.h"

#include <QList>

class KKT_Logic;

// The first steps of every command that works on the register: open the
// connection, identify the register and, where the tables are needed, load
// its model description. The connection is closed when the session ends, on
// every path.
class RegisterSession
{
public:
    // logic: the program's connection object, which outlives the session.
    explicit RegisterSession(KKT_Logic& logic);
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
    // What the reads and writes of the session go through.
    RegisterLink link() const;
    // The register's firmware configuration number; -1 when the query fails.
    int configurationVersion() const;

private:
    KKT_Logic& m_logic;
    bool m_opened = false;
    RegisterIdentity m_identity;
    QList<TableInfo> m_tables;
};
