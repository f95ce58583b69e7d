#pragma once

#include "journal/JournalFolder.h"

#include <QString>

class CommandHost;

// Where the records of one write are: enough to load them when asked.
struct JournaledWrite
{
    JournalFolder journal;
    QString serialNumber;
    QString id; // empty: no write to show

    bool isEmpty() const { return id.isEmpty(); }
    RecordedWrite load() const { return journal.findWrite(id, serialNumber); }
};

// "Записать в ККТ": the edits of every tab back to the register, one commit per table.
class TableWriteCommand
{
public:
    explicit TableWriteCommand(CommandHost& host) : m_host(host) {}

    void run();

    // After a successful write journaled in full, its records; empty otherwise.
    const JournaledWrite& journaledWrite() const { return m_journaled; }

private:
    CommandHost& m_host;
    JournaledWrite m_journaled;
};
