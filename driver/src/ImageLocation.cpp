#include "ImageLocation.h"

#include "ImageText.h"


#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tillo_emulator {

namespace {

const char* const ImageFileName = "tillo10-image.json";

bool exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The file a path names, through any links: a commit replaces that file and
// leaves the links as they are. A path that does not resolve stays as it is.
std::string withoutLinks(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string homeDirectory()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : std::string();
}

bool makeDirectories(const std::string& path)
{
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/')
            continue;
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

// Copies through a temporary file so that a half-made copy is never taken for the image.
bool copyFile(const std::string& from, const std::string& to)
{
    std::string why;
    const std::shared_ptr<const ImageText> content = ImageText::read(from, why);
    if (!content)
        return false;
    // Not named like the temporary files of a commit, which an open removes.
    const std::string temp = to + ".copy-" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << content->view();
        out.flush();
        if (!out) {
            ::unlink(temp.c_str());
            return false;
        }
    }
    if (::rename(temp.c_str(), to.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string ImageLocation::installedImagePath()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ImageLocation::installedImagePath), &info) == 0 || !info.dli_fname)
        return ImageFileName;
    std::string library = info.dli_fname;
    char resolved[PATH_MAX];
    if (::realpath(library.c_str(), resolved))
        library = resolved;
    const auto slash = library.rfind('/');
    return (slash == std::string::npos ? std::string(".") : library.substr(0, slash)) + "/" + ImageFileName;
}

std::string ImageLocation::userImagePath()
{
    std::string base;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        base = xdg;
    else
        base = homeDirectory() + "/.local/share";
    return base + "/tillo10/register-image.json";
}

bool ImageLocation::resolve(bool makeCopy, std::string& path, std::string& error)
{
    const char* chosen = std::getenv("TILLO10_EMULATOR");
    if (chosen && *chosen) {
        path = withoutLinks(chosen);
        return true;
    }
    path = userImagePath();
    if (exists(path)) {
        path = withoutLinks(path);
        return true;
    }
    const std::string installed = installedImagePath();
    if (!exists(installed)) {
        error = "Образ ККТ не найден: не задан TILLO10_EMULATOR и нет образа " + installed;
        return false;
    }
    if (!makeCopy) {
        path = installed;
        return true;
    }
    const std::string dir = path.substr(0, path.rfind('/'));
    if (!makeDirectories(dir) || !copyFile(installed, path)) {
        error = "Не удалось создать копию образа ККТ " + path + ": " + std::strerror(errno);
        return false;
    }
    path = withoutLinks(path);
    return true;
}

} // namespace tillo_emulator
