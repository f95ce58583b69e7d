// Any bytes as the register image of the emulated driver: its loader and its
// list of injected faults. An image that loads must survive what a commit
// writes for it: the written text loads again and is written the same way.
#include "FaultList.h"
#include "RegisterImage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using tillo_emulator::FaultList;
using tillo_emulator::RegisterImage;

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string content(reinterpret_cast<const char*>(data), size);

    FaultList faults;
    faults.read(content);

    RegisterImage image;
    std::string error;
    if (!image.parse(content, error)) {
        if (error.empty())
            fail("refused without a reason", content.substr(0, 200));
        return 0;
    }
    if (!image.decodeAll(error))
        return 0;
    const std::string written = image.text({});
    RegisterImage again;
    if (!again.parse(written, error) || !again.decodeAll(error))
        fail("a written image does not load", error);
    if (again.text({}) != written)
        fail("a written image is written differently the second time", written.substr(0, 200));
    return 0;
}
