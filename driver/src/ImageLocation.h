#pragma once

#include <string>

namespace tillo_emulator {

// Where the register image lives: the file named by TILLO10_EMULATOR when set;
// otherwise a per-user copy ($XDG_DATA_HOME or ~/.local/share, then
// tillo10/register-image.json), made on first use from the default image
// installed beside the library. The installed image itself is never written.
class ImageLocation
{
public:
    // The image to use. With makeCopy the per-user copy is made when missing;
    // without it the installed image stands in for a missing copy (read only).
    static bool resolve(bool makeCopy, std::string& path, std::string& error);

    static std::string installedImagePath();
    static std::string userImagePath();
};

} // namespace tillo_emulator
