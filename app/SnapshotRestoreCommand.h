#pragma once

#include <QList>

class CommandHost;
class RegisterSession;

// "Восстановить из снимка…": after the user agrees, the restore the shell
// program does (every table checked first, the register kept in an undo
// snapshot, the differing cells written table by table, one journaled write),
// which the user may stop between tables; the tabs of the tables written, and
// those whose unwritten edits the question said would go, are read again.
class SnapshotRestoreCommand
{
public:
    explicit SnapshotRestoreCommand(CommandHost& host) : m_host(host) {}

    void run();

private:
    // committed: the tables written; edited: the tabs whose edits are dropped. Raises FlowFailure.
    void refreshTabs(const RegisterSession& session, const QList<unsigned>& committed, const QList<int>& edited);

    CommandHost& m_host;
};
