// Any text as the driver's settings string and as its list of a setting's values.
#include "FuzzEnvironment.h"

#include "settings/DriverSettingsJson.h"
#include "settings/SettingsMapping.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));

    // What the dialog writes back must read back as the same settings.
    const QString written = DriverSettingsJson::toText(DriverSettingsJson::fromText(text));
    if (DriverSettingsJson::toText(DriverSettingsJson::fromText(written)) != written) {
        std::fprintf(stderr, "settings do not survive their own text\n");
        std::abort();
    }

    // Whether a text may go to the driver is answered, never thrown.
    QString error;
    const bool usable = DriverSettingsJson::check(text, error);
    if (usable != error.isEmpty()) {
        std::fprintf(stderr, "a settings text refused without a reason, or with one but not refused\n");
        std::abort();
    }

    SettingsMapping::parse(text, &error);
    return 0;
}
