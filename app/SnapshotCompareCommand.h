#pragma once

class CommandHost;

// "Сравнить со снимком…": the register's tables read into tabs, the cells in
// which they differ from a snapshot marked with the snapshot's values, and
// the count of differences in each tab's name.
class SnapshotCompareCommand
{
public:
    explicit SnapshotCompareCommand(CommandHost& host) : m_host(host) {}

    void run();
    // "Сравнить два снимка…": the first snapshot's tables in the tabs, marked
    // where the second one differs, as the register is marked against one.
    void runFiles();

private:
    CommandHost& m_host;
};
