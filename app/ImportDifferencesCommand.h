#pragma once

class CommandHost;

// "Отметить только отличия от ККТ": reads the register's rows of the table a
// file was imported into and keeps the mark only on cells whose stored bytes
// differ from them, one step to undo.
class ImportDifferencesCommand
{
public:
    explicit ImportDifferencesCommand(CommandHost& host) : m_host(host) {}

    void run();

private:
    CommandHost& m_host;
};
