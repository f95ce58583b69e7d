#pragma once

#include <string>

// How the emulated register is reached, as its image's "link" says: where it
// answers over TCP/IP and its number on the channel.
struct RegisterLink
{
    std::string ipAddress; // over TCP/IP the register answers only here; empty: any address
    int ipPort = 0;        // ... and only at this port; 0: any port
    int deviceNumber = 1;  // the number it answers to on its channel
};
