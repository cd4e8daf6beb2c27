// The settings file on disk, in code page 1251 on every system. The platform's profile functions
// read it through a UTF-16 copy, and a save builds the complete new file under a temporary name
// in the same folder, which then replaces the old one in one step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "WinHolders.h"
#include "untText.h"

// A failure of the contact list's file work, in words for the operator.
class EContactError : public ETextError {
public:
    explicit EContactError(const std::wstring& text) : ETextError(text) {}
};

// The full path of fileName. The profile functions look a name without a folder up in the
// Windows folder; the full path makes a relative name mean the current folder, as the
// file-existence test reads it. Raises EContactError when the name cannot be resolved.
std::wstring IniFullPath(const std::wstring& fileName);

// Whether path names an existing file (not a folder).
bool IniFileExists(const std::wstring& path);

// A settings file as the profile functions read it. They read a file in the system's ANSI code
// page unless it begins with a Unicode mark, and the settings file is code page 1251 on every
// system. So they read a UTF-16 copy of it, made in the temporary folder and removed when the
// reader goes. A file that carries a Unicode mark of its own is copied as it is, and reads as
// the platform reads it.
class TIniReader : TNoCopy {
public:
    // Reads the existing file at path whole and makes the copy; fileName is the name the errors
    // give. Raises EContactError when the file cannot be read or the copy cannot be made.
    TIniReader(const std::wstring& path, const std::wstring& fileName);
    ~TIniReader();

    // The names of all sections, in the order in which they stand in the file.
    std::vector<std::wstring> SectionNames() const;
    // A key is present when the platform gives a value for it.
    bool HasKey(const wchar_t* section, const wchar_t* key) const;
    // The value as the platform reads it (blanks around it trimmed, one pair of enclosing quotes
    // stripped), in code page 1251; empty for a missing key.
    std::string ReadText(const wchar_t* section, const wchar_t* key) const;
    // The value as an integer (ContactStrToInt), or def when it is missing or not one.
    int32_t ReadInt(const wchar_t* section, const wchar_t* key, int32_t def) const;
    // False exactly when the value reads as the integer 0.
    bool ReadBool(const wchar_t* section, const wchar_t* key) const;

private:
    std::wstring ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* def) const;

    std::wstring FPath; // the UTF-16 copy
};

// The complete new settings file, built under a temporary name in the target's folder and removed
// unless it has replaced the target. The profile functions write it as UTF-16 (it starts with the
// Unicode mark), and it is put down in code page 1251 before it replaces the target. Every
// failure raises EContactError naming the target; the target is then left as it was.
class TIniWriter : TNoCopy {
public:
    // Makes the empty temporary file beside target (a full path).
    explicit TIniWriter(const std::wstring& target);
    ~TIniWriter();

    // Writes value, in code page 1251, as key of section.
    void Write(const std::wstring& section, const wchar_t* key, const std::string& value);

    // Puts the complete file, in code page 1251, in place of the target in one step.
    void ReplaceTarget();

private:
    [[noreturn]] void Fail() const;

    std::wstring FTarget;
    std::wstring FName;
    bool FReplaced = false;
};
