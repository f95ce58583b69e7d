#include "CallTrace.h"

#include <cstdio>
#include <cstdlib>

namespace tillo_emulator {

bool CallTrace::enabled()
{
    const char* path = std::getenv("TILLO10_TRACE");
    return path && *path;
}

void CallTrace::write(const std::string& call, int code)
{
    const char* path = std::getenv("TILLO10_TRACE");
    if (!path || !*path)
        return;
    std::FILE* file = std::fopen(path, "a");
    if (!file)
        return;
    const std::string line = call + " -> " + std::to_string(code) + "\n";
    std::fwrite(line.data(), 1, line.size(), file); // one write: lines of several handles do not mix
    std::fclose(file);
}

} // namespace tillo_emulator
