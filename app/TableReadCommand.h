#pragma once

#include "flows/TableSelection.h"

class CommandHost;
class RegisterLink;

// The three read commands: the selected tables of the register into tabs.
class TableReadCommand
{
public:
    explicit TableReadCommand(CommandHost& host) : m_host(host) {}

    void run(TableSelection::Kind selection);

private:
    // Reads table after table into tabs; false when a failure or the user
    // stopped the read (already reported).
    bool readTables(const RegisterLink& link, const QList<TableInfo>& selection, unsigned& tablesRead,
                    unsigned& cellsRead);

    CommandHost& m_host;
};
