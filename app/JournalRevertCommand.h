#pragma once

struct RecordedWrite;
class CommandHost;

// "Вернуть" of the journal dialog: the cells of a write back to their values
// before it, one commit per table, reported as the write command reports.
class JournalRevertCommand
{
public:
    explicit JournalRevertCommand(CommandHost& host) : m_host(host) {}

    // True when the revert ran to its end (cells changed since may have been left alone).
    bool run(const RecordedWrite& write);

private:
    CommandHost& m_host;
};
