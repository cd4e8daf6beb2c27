#include "untIniFile.h"

#include <windows.h>

#include "untIniNumber.h"

namespace {

// "Не удалось записать файл настроек" (the settings file could not be written)
const char kWriteFailed[] =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xE7\xE0\xEF\xE8\xF1\xE0\xF2\xFC "
    "\xF4\xE0\xE9\xEB \xED\xE0\xF1\xF2\xF0\xEE\xE5\xEA";
// "Не удалось определить полный путь файла" (the full path of the file could not be found)
const char kPathFailed[] =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xEE\xEF\xF0\xE5\xE4\xE5\xEB\xE8"
    "\xF2\xFC \xEF\xEE\xEB\xED\xFB\xE9 \xEF\xF3\xF2\xFC \xF4\xE0\xE9\xEB\xE0";
// "Не удалось прочитать файл настроек" (the settings file could not be read)
const char kReadFailed[] =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xEF\xF0\xEE\xF7\xE8\xF2\xE0\xF2\xFC "
    "\xF4\xE0\xE9\xEB \xED\xE0\xF1\xF2\xF0\xEE\xE5\xEA";
// "код" (code)
const char kCode[] = "\xEA\xEE\xE4";

// The mark that makes the profile functions read and write a file as UTF-16.
const char kUtf16Mark[] = "\xFF\xFE";
const char kUtf8Mark[] = "\xEF\xBB\xBF";

// Raises EContactError with what, the file name and the text of the thread's last error.
[[noreturn]] void RaiseLastError(const char* what, const std::wstring& fileName) {
    const DWORD code = GetLastError();
    throw EContactError(Cp1251ToWide(what) + L" \"" + fileName + L"\": " + SystemErrorText(code) +
                        L" (" + Cp1251ToWide(kCode) + L" " + std::to_wstring(code) + L")");
}

// The whole file, opened as the profile functions open it; false (with the thread's last error)
// when it cannot be read.
bool ReadBytes(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x40000000;
    if (ok) {
        bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
        DWORD read = 0;
        ok = bytes.empty() ||
             (ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
              read == bytes.size());
    }
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok;
}

// Replaces the contents of an existing file; false (with the thread's last error) on failure.
bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size());
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok;
}

bool StartsWith(const std::string& bytes, const char* mark) {
    return bytes.compare(0, std::char_traits<char>::length(mark), mark) == 0;
}

// Writes the platform's cached copy of the file out and drops it, so that the next call reads
// the file as it is on disk. The platform reports no result for this call.
void FlushProfile(const std::wstring& path) {
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());
}

// A new file of a unique name in folder, holding bytes; raises EContactError(what, fileName)
// when none can be made or written, and then leaves no file behind.
std::wstring NewTempFile(const std::wstring& folder, const std::string& bytes, const char* what,
                         const std::wstring& fileName) {
    wchar_t name[MAX_PATH];
    if (!GetTempFileNameW(folder.c_str(), L"kvx", 0, name))
        RaiseLastError(what, fileName);
    if (!WriteBytes(name, bytes)) {
        const DWORD error = GetLastError();
        DeleteFileW(name);
        SetLastError(error);
        RaiseLastError(what, fileName);
    }
    return name;
}

} // namespace

std::wstring IniFullPath(const std::wstring& fileName) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetFullPathNameW(fileName.c_str(), static_cast<DWORD>(buffer.size()), &buffer[0],
                                   nullptr);
        if (n == 0)
            RaiseLastError(kPathFailed, fileName);
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(n); // n counts the terminating zero when the buffer is too small
    }
}

bool IniFileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TIniReader::TIniReader(const std::wstring& path, const std::wstring& fileName) {
    std::string bytes;
    if (!ReadBytes(path, bytes))
        RaiseLastError(kReadFailed, fileName);
    wchar_t folder[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH)
        RaiseLastError(kReadFailed, fileName);
    std::string copy;
    if (StartsWith(bytes, kUtf16Mark) || StartsWith(bytes, kUtf8Mark)) {
        copy = bytes;
    } else {
        const std::wstring text = Cp1251ToWide(bytes);
        copy.assign(kUtf16Mark);
        copy.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    }
    FPath = NewTempFile(folder, copy, kReadFailed, fileName);
}

TIniReader::~TIniReader() {
    FlushProfile(FPath);
    DeleteFileW(FPath.c_str());
}

std::vector<std::wstring> TIniReader::SectionNames() const {
    std::vector<wchar_t> buffer(1024);
    DWORD n;
    for (;;) {
        n = GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer.size()),
                                           FPath.c_str());
        // A list that does not fit comes back cut, with the length of the buffer less two.
        if (n + 2 < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    std::vector<std::wstring> names;
    for (const wchar_t* p = buffer.data(); p < buffer.data() + n && *p;
         p += names.back().size() + 1)
        names.emplace_back(p);
    return names;
}

// The value of key in section as the platform reads it, or def when the platform knows no such
// key (it trims blanks around the value and strips one pair of enclosing quotes).
std::wstring TIniReader::ReadString(const wchar_t* section, const wchar_t* key,
                                    const wchar_t* def) const {
    std::vector<wchar_t> buffer(256);
    DWORD n;
    for (;;) {
        n = GetPrivateProfileStringW(section, key, def, buffer.data(),
                                     static_cast<DWORD>(buffer.size()), FPath.c_str());
        // A value that does not fit comes back cut, with the length of the buffer less one.
        if (n + 1 < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    return std::wstring(buffer.data(), n);
}

// Asked with two different defaults, the platform answers the same both times for a key it has.
bool TIniReader::HasKey(const wchar_t* section, const wchar_t* key) const {
    return ReadString(section, key, L"\x01") == ReadString(section, key, L"\x02");
}

std::string TIniReader::ReadText(const wchar_t* section, const wchar_t* key) const {
    return WideToCp1251(ReadString(section, key, L""));
}

int32_t TIniReader::ReadInt(const wchar_t* section, const wchar_t* key, int32_t def) const {
    int32_t value;
    return ContactStrToInt(ReadText(section, key), value) ? value : def;
}

bool TIniReader::ReadBool(const wchar_t* section, const wchar_t* key) const {
    int32_t value;
    return !ContactStrToInt(ReadText(section, key), value) || value != 0;
}

TIniWriter::TIniWriter(const std::wstring& target) : FTarget(target) {
    FName = NewTempFile(target.substr(0, target.find_last_of(L"\\/") + 1), kUtf16Mark, kWriteFailed,
                        target);
}

TIniWriter::~TIniWriter() {
    if (!FReplaced) {
        FlushProfile(FName);
        DeleteFileW(FName.c_str());
    }
}

void TIniWriter::Write(const std::wstring& section, const wchar_t* key, const std::string& value) {
    if (!WritePrivateProfileStringW(section.c_str(), key, Cp1251ToWide(value).c_str(),
                                    FName.c_str()))
        Fail();
}

void TIniWriter::ReplaceTarget() {
    FlushProfile(FName);
    std::string bytes;
    if (!ReadBytes(FName, bytes) || !StartsWith(bytes, kUtf16Mark))
        Fail();
    const size_t mark = std::char_traits<char>::length(kUtf16Mark);
    std::wstring text((bytes.size() - mark) / sizeof(wchar_t), L'\0');
    bytes.copy(reinterpret_cast<char*>(&text[0]), text.size() * sizeof(wchar_t), mark);
    if (!WriteBytes(FName, WideToCp1251(text)))
        Fail();
    if (!MoveFileExW(FName.c_str(), FTarget.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Fail();
    FReplaced = true;
    FlushProfile(FTarget);
}

void TIniWriter::Fail() const {
    RaiseLastError(kWriteFailed, FTarget);
}
