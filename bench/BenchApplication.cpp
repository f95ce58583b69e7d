#include "BenchApplication.h"

#include "BenchSupport.h"

namespace {

// Before QApplication is made: the platform is chosen in its constructor.
int& offscreenUnlessAsked(int& argc)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return argc;
}

} // namespace

BenchApplication::BenchApplication(int& argc, char** argv)
    : QApplication(offscreenUnlessAsked(argc), argv)
{
    BenchSupport::silenceLog();
}
