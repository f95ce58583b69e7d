#pragma once

class CommandHost;

// "Сохранить в файл": every tab into a directory, or the current tab into a file.
class TableExportCommand
{
public:
    explicit TableExportCommand(CommandHost& host) : m_host(host) {}

    void exportAll();
    void exportCurrent();

private:
    CommandHost& m_host;
};
