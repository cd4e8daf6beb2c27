#include "untVInfo.h"

#include <cstdio>

#include "untConst.h"

namespace {

// The fixed file information follows the 6-byte header, the key "VS_VERSION_INFO" in 16-bit
// characters with its terminator and 2 bytes of padding; its file version is at offset 8.
constexpr DWORD FILE_VERSION_OFFSET = 48;
constexpr DWORD FILE_VERSION_SIZE = 8;

uint16_t WordAt(const BYTE* bytes, DWORD offset) {
    return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

} // namespace

TFileVersion ReadFileVersion(HMODULE module) {
    TFileVersion version;
    HRSRC info = FindResourceA(module, "#1", MAKEINTRESOURCEA(16));
    if (!info || SizeofResource(module, info) < FILE_VERSION_OFFSET + FILE_VERSION_SIZE)
        return version;
    HGLOBAL data = LoadResource(module, info);
    auto* bytes = static_cast<const BYTE*>(data ? LockResource(data) : nullptr);
    if (!bytes)
        return version;
    // The most significant double word comes first, each low word first within it.
    version.MinorVersion = WordAt(bytes, FILE_VERSION_OFFSET);
    version.MajorVersion = WordAt(bytes, FILE_VERSION_OFFSET + 2);
    version.BuildNumber = WordAt(bytes, FILE_VERSION_OFFSET + 4);
    version.ReleaseNumber = WordAt(bytes, FILE_VERSION_OFFSET + 6);
    return version;
}

TFileVersion ReadFileVersion() {
    return ReadFileVersion(CodeModule());
}

std::string FileVersionText(const TFileVersion& version) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", version.MajorVersion, version.MinorVersion,
                  version.ReleaseNumber, version.BuildNumber);
    return text;
}
