#pragma once

#include <memory>
#include <string>
#include <string_view>

struct stat;

namespace tillo_emulator {

// The JSON text of a register image. A regular file is mapped, not copied:
// its pages come from the page cache, so an open costs no fresh memory for a
// large image, and rows texts decoded later are read from the same pages.
// Texts given in memory are kept as a copy.
class ImageText
{
public:
    ~ImageText();
    ImageText(const ImageText&) = delete;
    ImageText& operator=(const ImageText&) = delete;

    // The largest image file read. A register's tables, a commodity base of
    // 65 536 goods included, take a small part of it.
    static constexpr size_t MaxBytes = size_t(64) << 20;

    // Null, with error saying why, when the file cannot be read, is no
    // regular file (a FIFO, a device or a folder is refused at once, never
    // waited on) or is larger than MaxBytes.
    static std::shared_ptr<const ImageText> read(const std::string& path, std::string& error);
    // Whether path (a link: its target) is a file that read() takes; false,
    // with error saying why, otherwise. Looks at the file only.
    static bool readable(const std::string& path, std::string& error);
    static std::shared_ptr<const ImageText> copyOf(std::string text);

    std::string_view view() const { return {m_data, m_size}; }

    // False when the mapped file has been changed in place since it was
    // mapped: its text may then have changed under the mapping.
    bool unchanged() const;

private:
    ImageText() = default;
    static std::string refusal(const struct stat& st);

    const char* m_data = "";
    size_t m_size = 0;
    std::string m_copy;        // the text, when not mapped
    void* m_mapping = nullptr; // of m_size bytes
    int m_fd = -1;             // of the mapped file, to notice a change in place
    long long m_mtimeSeconds = 0;
    long m_mtimeNanoseconds = 0;
};

} // namespace tillo_emulator
