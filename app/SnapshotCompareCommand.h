#pragma once

class CommandHost;
class FlowFailure;
class QString;

// "Сравнить со снимком…": the register's tables read into tabs, the cells in
// which they differ from a snapshot marked with the snapshot's values, and
// the count of differences in each tab's name. Two snapshots chosen are
// compared with each other instead of the register.
class SnapshotCompareCommand
{
public:
    explicit SnapshotCompareCommand(CommandHost& host) : m_host(host) {}

    void run();

private:
    void compareWithRegister(const QString& path);
    // Two snapshots chosen: the first one's tables in the tabs, marked where
    // the second one differs, as the register is marked against one.
    void compareFiles(const QString& first, const QString& second);
    // A cancel keeps the tabs compared so far; any other failure puts the kept ones back.
    void keepOrPutBack(const FlowFailure& failure);

    CommandHost& m_host;
};
