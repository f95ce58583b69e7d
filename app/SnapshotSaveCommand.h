#pragma once

class CommandHost;

// "Сохранить снимок…": every table of the register into one snapshot file,
// which appears only when all of them were read.
class SnapshotSaveCommand
{
public:
    explicit SnapshotSaveCommand(CommandHost& host) : m_host(host) {}

    void run();

private:
    CommandHost& m_host;
};
