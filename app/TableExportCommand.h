#pragma once

class CommandHost;
class TableModel;

// "Сохранить в файл": every tab into a directory, or the current tab into a file.
class TableExportCommand
{
public:
    explicit TableExportCommand(CommandHost& host) : m_host(host) {}

    void exportAll();
    void exportCurrent();

private:
    // The current tab's table; nullptr when no table is shown.
    const TableModel* currentModel();

    CommandHost& m_host;
};
