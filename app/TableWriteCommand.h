#pragma once

class CommandHost;

// "Записать в ККТ": the edits of every tab back to the register, one commit per table.
class TableWriteCommand
{
public:
    explicit TableWriteCommand(CommandHost& host) : m_host(host) {}

    void run();

private:
    CommandHost& m_host;
};
