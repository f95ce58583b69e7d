#pragma once

#include <string>

namespace tillo_emulator {

// One connection per register image: an exclusive advisory lock (flock) on a
// hidden lock file beside the image, ".<image file name>.lock", held from the
// open to the close. A commit replaces the image file by a rename, so the
// guarding lock lives on a file that commits leave alone; it is made when
// missing, with the permissions of the image's folder. Where the lock file
// cannot be opened the open is refused: a lock on the image itself would be
// lost at the first commit.
//
// The image file is locked too while the connection lasts: hard links to one
// image have one lock file each, but share the file until a commit parts them.
// Another connection to the same image, in this process or another, is
// refused at once.
class ImageLock
{
public:
    enum Result { Acquired, Busy, Failed };

    ImageLock() = default;
    ~ImageLock() { release(); }
    ImageLock(const ImageLock&) = delete;
    ImageLock& operator=(const ImageLock&) = delete;

    // Takes the lock of the image at imagePath (a path without links); on
    // Failed, error says why.
    Result acquire(const std::string& imagePath, std::string& error);
    void release();
    bool held() const { return m_lockFd >= 0; }

    static std::string lockFilePath(const std::string& imagePath);

private:
    int m_lockFd = -1;
    int m_imageFd = -1;
};

} // namespace tillo_emulator
