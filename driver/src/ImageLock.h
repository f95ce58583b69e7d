#pragma once

#include <string>

// One connection per register image: an exclusive advisory lock (flock) on a
// hidden lock file beside the image, ".<image file name>.lock", held from the
// open to the close. A commit replaces the image file by a rename, so the lock
// lives on a file that commits leave alone. Where no lock file can be made (a
// directory without write access) the image file itself is locked. Another
// connection to the same image, in this process or another, is refused at once.
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
    bool held() const { return m_fd >= 0; }

    static std::string lockFilePath(const std::string& imagePath);

private:
    int m_fd = -1;
};
