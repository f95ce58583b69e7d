#pragma once

class CommandHost;

// "Восстановить из снимка…": after the user agrees, the restore the shell
// program does (every table checked first, the register kept in an undo
// snapshot, the differing cells written table by table, one journaled write);
// the tabs of the tables written are read again.
class SnapshotRestoreCommand
{
public:
    explicit SnapshotRestoreCommand(CommandHost& host) : m_host(host) {}

    void run();

private:
    CommandHost& m_host;
};
