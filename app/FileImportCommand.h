#pragma once

class CommandHost;

// "Загрузить из файла": a CSV file into a new tab, ready to be written.
class FileImportCommand
{
public:
    explicit FileImportCommand(CommandHost& host) : m_host(host) {}

    void run();

private:
    CommandHost& m_host;
};
