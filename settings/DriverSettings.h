#pragma once

#include <QString>

// The driver's connection settings, one member per key of its settings text.
struct DriverSettings
{
    int Model = 0;
    int Port = 0;
    QString ComFile;
    QString UsbDevicePath;
    int BaudRate = 0;
    int Bits = 0;
    int StopBits = 0;
    int Parity = 0;
    QString UserPassword;
    QString AccessPassword;
    QString IPAddress;
    int IPPort = 0;
    QString MACAddress;
    int OfdChannel = 0;
};
