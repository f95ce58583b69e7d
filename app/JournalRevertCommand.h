#pragma once

struct RecordedWrite;
class CommandHost;
class RegisterSession;
struct RegisterIdentity;

// "Вернуть" of the journal dialog: the cells of a write back to their values
// before it, one commit per table, reported as the write command reports.
class JournalRevertCommand
{
public:
    explicit JournalRevertCommand(CommandHost& host) : m_host(host) {}

    // True when the revert ran to its end (cells changed since may have been left alone).
    bool run(const RecordedWrite& write);

private:
    // The tabs of the tables the revert wrote are read again from the register,
    // when they show the register reverted, so that what they treat as read is what it holds.
    void rereadTabs(const RecordedWrite& write, const RegisterSession& session);

    CommandHost& m_host;
};
