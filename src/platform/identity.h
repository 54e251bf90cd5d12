#pragma once

#include <QString>

namespace platform {

// The program's identity: title, maker and version.
inline constexpr int VersionMajor = 1;
inline constexpr int VersionMinor = 4;
inline constexpr int VersionRevision = 1;

QString AppTitle();      // "Lexorn"
QString CompanyName();   // "Korvath"
QString VersionNumber(); // "1.4.1"
QString VersionText();   // "Version 1.4.1"

// Host (or host:port) of the translation service: fixed at build time, LEXORN_SERVICE_HOST in the
// environment overrides it for self-hosting and tests.
QString ServiceHost();

} // namespace platform
