#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tillo_emulator {

// The JSON text of a register image. A regular file is mapped, not copied:
// its pages come from the page cache, so an open costs no fresh memory for a
// large image, and rows texts decoded later are read from the same pages.
// Other files and texts given in memory are kept as a copy.
class ImageText
{
public:
    ~ImageText();
    ImageText(const ImageText&) = delete;
    ImageText& operator=(const ImageText&) = delete;

    // Null, with errno set, when the file cannot be read.
    static std::shared_ptr<const ImageText> read(const std::string& path);
    static std::shared_ptr<const ImageText> copyOf(std::string text);

    std::string_view view() const { return {m_data, m_size}; }

    // False when the mapped file has been changed in place since it was
    // mapped: its text may then have changed under the mapping.
    bool unchanged() const;

private:
    ImageText() = default;

    const char* m_data = "";
    size_t m_size = 0;
    std::string m_copy;        // the text, when not mapped
    void* m_mapping = nullptr; // of m_size bytes
    int m_fd = -1;             // of the mapped file, to notice a change in place
    long long m_mtimeSeconds = 0;
    long m_mtimeNanoseconds = 0;
};

} // namespace tillo_emulator
