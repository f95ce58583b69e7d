#pragma once

#include <QString>

#ifndef VESCOR_VERSION
#error "VESCOR_VERSION is defined by the build (CMakeLists.txt)"
#endif

// The program's identity as the user sees it.
namespace product {

inline QString applicationName() { return QStringLiteral("Vescor"); }
inline QString organizationName() { return QStringLiteral("Orvane"); }
// Window title and the title of every message box of the main window.
inline QString displayName() { return QStringLiteral("Vescor"); }
// The project version, handed down by the build.
inline QString version() { return QStringLiteral(VESCOR_VERSION); }
// The shell program, as the journal of writes names it.
inline QString shellProgramName() { return QStringLiteral("vescor-cli"); }
inline QString windowTitle() { return displayName() + QStringLiteral(" ") + version(); }

} // namespace product
