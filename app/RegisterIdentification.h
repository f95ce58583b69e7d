#pragma once

#include "model/TableInfo.h"

#include <QList>
#include <QString>

// The first steps of every command that works on the register's tables: open
// the connection, identify the register and load its model description.
// The connection stays open whatever the outcome; the caller closes it.
class RegisterIdentification
{
public:
    enum Outcome {
        Ready,              // identified, description loaded
        DriverFailed,       // open or status query failed: see KKT_Logic::lastErrorText()
        DescriptionRefused, // identified, but the description is missing or refused: see failureText()
    };

    Outcome run();

    // Valid after Ready and DescriptionRefused.
    int modelId() const { return m_modelId; }
    QString modelName() const { return m_modelName; }
    QString serialNumber() const { return m_serialNumber; }
    // The tables of the description, after Ready.
    const QList<TableInfo>& tables() const { return m_tables; }
    // The message shown for DescriptionRefused.
    QString failureText() const { return m_failureText; }

private:
    int m_modelId = 0;
    QString m_modelName;
    QString m_serialNumber;
    QList<TableInfo> m_tables;
    QString m_failureText;
};
