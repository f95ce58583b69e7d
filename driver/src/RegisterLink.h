#pragma once

#include <cstddef>
#include <string>

namespace tillo_emulator {

// How the emulated register is reached, as its image's "link" says: where it
// answers over TCP/IP, its number on the channel, and how slow the line is.
struct RegisterLink
{
    std::string ipAddress; // over TCP/IP the register answers only here; empty: any address
    int ipPort = 0;        // ... and only at this port; 0: any port
    int deviceNumber = 1;  // the number it answers to on its channel
    int latencyMs = 0;     // each request to the register takes this long
    int bytesPerSecond = 0; // the bytes of a read or write go at this rate; 0: they take no time

    // Waits as long as one request that carries `bytes` takes on the line.
    void request(size_t bytes) const;
};

} // namespace tillo_emulator
