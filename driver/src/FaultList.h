#pragma once

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tillo_emulator {

// The faults that an image injects into calls, with their counters.
// A fault names a call and optionally a table, row, field or query; "after"
// N lets the first N matching calls through; "times" limits how often it fires.
// The counters survive reloads of the same file and start again when the
// image file is another one (other path, or its content replaced from outside).
class FaultList
{
public:
    struct Call
    {
        const char* name = "";
        long table = -1;
        long row = -1;
        long field = -1;
        long query = -1;
    };

    struct Fired
    {
        int code = 0;
        std::string description;
        std::string stage; // "rename" for a commit that stops before the rename
        bool throws = false; // the call fails by an exception inside the library
    };

    // The file's size, time and place: another stamp means another content.
    struct Stamp
    {
        uint64_t device = 0, inode = 0, size = 0;
        int64_t seconds = 0, nanoseconds = 0;
        bool exists = false;
        bool operator==(const Stamp& o) const
        {
            return device == o.device && inode == o.inode && size == o.size && seconds == o.seconds &&
                   nanoseconds == o.nanoseconds && exists == o.exists;
        }
    };
    static Stamp stampOf(const std::string& path);

    // Whether the faults are those of the image file as it is now.
    bool current(const std::string& path) const { return m_loaded && path == m_path && stampOf(path) == m_stamp; }
    // Takes the faults of the image file read at `stamp` (`faults`: its
    // "faults", null when it has none or is no image), counters from zero.
    void take(const std::string& path, const Stamp& stamp, const Json::Value& faults);
    // The file was rewritten by this driver with the same faults: keep the counters.
    void remember(const std::string& path);
    // Takes the faults of an image file's content, counters from zero; none
    // from a content that is no image.
    void read(const std::string& content);
    void clear();

    // Counts the call; true when a fault fires for it.
    bool check(const Call& call, Fired& fired);

private:
    struct Fault
    {
        std::string call;
        long table = -1, row = -1, field = -1, query = -1;
        uint64_t after = 0;
        int64_t times = -1; // -1: every time
        Fired result;
        uint64_t seen = 0;
        int64_t fired = 0;
    };

    void readFaults(const Json::Value& faults);

    std::vector<Fault> m_faults;
    std::string m_path;
    Stamp m_stamp;
    bool m_loaded = false;
};

} // namespace tillo_emulator
