// The driver's own version text, read from the file version of its version resource.
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>

struct TFileVersion {
    uint16_t MajorVersion = 0;
    uint16_t MinorVersion = 0;
    uint16_t ReleaseNumber = 0;
    uint16_t BuildNumber = 0;
};

// The file version in version resource 1 of module (this code's own module by default); all
// zeros when the module has no such resource, or one too short to hold a file version.
TFileVersion ReadFileVersion(HMODULE module);
TFileVersion ReadFileVersion();

// "Major.Minor.Release.Build" in decimal.
std::string FileVersionText(const TFileVersion& version);
