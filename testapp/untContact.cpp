#include "untContact.h"

#include <windows.h>

#include <string>
#include <utility>

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
// "Файл настроек не был прочитан и не перезаписан" (the file was not read, so not overwritten)
const char kNotOverwritten[] =
    "\xD4\xE0\xE9\xEB \xED\xE0\xF1\xF2\xF0\xEE\xE5\xEA \xED\xE5 \xE1\xFB\xEB "
    "\xEF\xF0\xEE\xF7\xE8\xF2\xE0\xED \xE8 \xED\xE5 "
    "\xEF\xE5\xF0\xE5\xE7\xE0\xEF\xE8\xF1\xE0\xED";
// "код" (code)
const char kCode[] = "\xEA\xEE\xE4";

const wchar_t kCommon[] = L"Common";
const wchar_t kPortNumber[] = L"PortNumber";
const wchar_t kName[] = L"Name";
const wchar_t kMask[] = L"Mask";
const wchar_t kDevice[] = L"Device";
const wchar_t kPulseTime[] = L"PulseTime";
const wchar_t kSetPulseTime[] = L"SetPulseTime";
const wchar_t kSetDeviceState[] = L"SetDeviceState";

// The mark that makes the profile functions read and write a file as UTF-16.
const char kUtf16Mark[] = "\xFF\xFE";
const char kUtf8Mark[] = "\xEF\xBB\xBF";

// Raises EContactError with what, the file name and the text of the thread's last error.
[[noreturn]] void RaiseLastError(const char* what, const std::wstring& fileName) {
    const DWORD code = GetLastError();
    throw EContactError(Cp1251ToWide(what) + L" \"" + fileName + L"\": " + SystemErrorText(code) +
                        L" (" + Cp1251ToWide(kCode) + L" " + std::to_wstring(code) + L")");
}

// The profile functions look a name without a folder up in the Windows folder; the full path
// makes a relative name mean the current folder, as the file-existence test reads it.
std::wstring FullPath(const std::wstring& fileName) {
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

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
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

// A new empty file of a unique name in folder; raises EContactError(what, fileName) when none
// can be made.
std::wstring NewTempFile(const std::wstring& folder, const char* what,
                         const std::wstring& fileName) {
    wchar_t name[MAX_PATH];
    if (!GetTempFileNameW(folder.c_str(), L"kvx", 0, name))
        RaiseLastError(what, fileName);
    return name;
}

// The profile functions read a file in the system's ANSI code page unless it begins with a
// Unicode mark, and the settings file is code page 1251 on every system. So they read a UTF-16
// copy of it, made in the temporary folder and removed when the reading is done. A file that
// carries a Unicode mark of its own is copied as it is, and reads as the platform reads it.
class TUnicodeCopy {
public:
    TUnicodeCopy(const std::string& bytes, const std::wstring& fileName) {
        wchar_t folder[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
        if (n == 0 || n > MAX_PATH)
            RaiseLastError(kReadFailed, fileName);
        FPath = NewTempFile(folder, kReadFailed, fileName);
        std::string copy;
        if (StartsWith(bytes, kUtf16Mark) || StartsWith(bytes, kUtf8Mark)) {
            copy = bytes;
        } else {
            const std::wstring text = Cp1251ToWide(bytes);
            copy.assign(kUtf16Mark);
            copy.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        }
        if (!WriteBytes(FPath, copy)) {
            const DWORD error = GetLastError();
            DeleteFileW(FPath.c_str());
            SetLastError(error);
            RaiseLastError(kReadFailed, fileName);
        }
    }
    TUnicodeCopy(const TUnicodeCopy&) = delete;
    TUnicodeCopy& operator=(const TUnicodeCopy&) = delete;
    ~TUnicodeCopy() {
        FlushProfile(FPath);
        DeleteFileW(FPath.c_str());
    }

    const std::wstring& Path() const { return FPath; }

private:
    std::wstring FPath;
};

// The names of all sections, in the order in which they stand in the file.
std::vector<std::wstring> SectionNames(const std::wstring& path) {
    std::vector<wchar_t> buffer(1024);
    DWORD n;
    for (;;) {
        n = GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer.size()),
                                           path.c_str());
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
std::wstring ReadString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                        const wchar_t* def) {
    std::vector<wchar_t> buffer(256);
    DWORD n;
    for (;;) {
        n = GetPrivateProfileStringW(section, key, def, buffer.data(),
                                     static_cast<DWORD>(buffer.size()), path.c_str());
        // A value that does not fit comes back cut, with the length of the buffer less one.
        if (n + 1 < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    return std::wstring(buffer.data(), n);
}

// A key is present when the platform gives a value for it: asked with two different
// defaults, it then answers the same both times.
bool HasKey(const std::wstring& path, const wchar_t* section, const wchar_t* key) {
    return ReadString(path, section, key, L"\x01") == ReadString(path, section, key, L"\x02");
}

std::string ReadText(const std::wstring& path, const wchar_t* section, const wchar_t* key) {
    return WideToCp1251(ReadString(path, section, key, L""));
}

int32_t ReadInt(const std::wstring& path, const wchar_t* section, const wchar_t* key, int32_t def) {
    int32_t value;
    return ContactStrToInt(ReadText(path, section, key), value) ? value : def;
}

// False exactly when the value reads as the integer 0.
bool ReadBool(const std::wstring& path, const wchar_t* section, const wchar_t* key) {
    int32_t value;
    return !ContactStrToInt(ReadText(path, section, key), value) || value != 0;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The temporary file that a save builds in the target's folder; it is removed unless it has
// replaced the target. The profile functions write it as UTF-16 (it starts with the Unicode
// mark), and it is put down in code page 1251 before it replaces the target.
class TTempFile {
public:
    explicit TTempFile(const std::wstring& target) : FTarget(target) {
        FName =
            NewTempFile(target.substr(0, target.find_last_of(L"\\/") + 1), kWriteFailed, target);
        if (!WriteBytes(FName, kUtf16Mark))
            Fail();
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    ~TTempFile() {
        if (!FReplaced) {
            FlushProfile(FName);
            DeleteFileW(FName.c_str());
        }
    }

    void Write(const std::wstring& section, const wchar_t* key, const std::string& value) {
        if (!WritePrivateProfileStringW(section.c_str(), key, Cp1251ToWide(value).c_str(),
                                        FName.c_str()))
            Fail();
    }

    // Puts the complete file, in code page 1251, in place of the target in one step.
    void ReplaceTarget() {
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

private:
    [[noreturn]] void Fail() const { RaiseLastError(kWriteFailed, FTarget); }

    std::wstring FTarget;
    std::wstring FName;
    bool FReplaced = false;
};

} // namespace

bool operator==(const TContactRec& a, const TContactRec& b) {
    return a.Mask == b.Mask && a.Name == b.Name && a.Device == b.Device &&
           a.PulseTime == b.PulseTime && a.SetPulseTime == b.SetPulseTime &&
           a.SetDeviceState == b.SetDeviceState;
}

bool ContactStrToInt(const std::string& text, int32_t& value) {
    size_t i = 0, end = text.size();
    while (i < end && IsBlank(text[i]))
        ++i;
    while (end > i && IsBlank(text[end - 1]))
        --end;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    uint64_t magnitude = 0;
    uint64_t limit;
    if (end - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        // Hexadecimal digits give a 32-bit pattern.
        limit = 0xFFFFFFFFu;
        for (i += 2; i < end; ++i) {
            int digit = HexDigit(text[i]);
            if (digit < 0)
                return false;
            magnitude = magnitude * 16 + static_cast<uint64_t>(digit);
            if (magnitude > limit)
                return false;
        }
    } else {
        if (i == end)
            return false;
        limit = negative ? 0x80000000u : 0x7FFFFFFFu;
        for (; i < end; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
            if (magnitude > limit)
                return false;
        }
    }
    uint32_t bits = static_cast<uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    value = static_cast<int32_t>(bits);
    return true;
}

TContact& TContact::Create(TContacts& owner, const TContactRec& data) {
    auto contact = std::make_unique<TContact>(Key(), owner, data);
    TContact& result = *contact;
    owner.Attach(std::move(contact));
    return result;
}

void TContact::SetOwner(TContacts& newOwner) {
    if (&newOwner == FOwner)
        return;
    std::unique_ptr<TContact> self = FOwner->Detach(*this);
    FOwner = &newOwner;
    newOwner.Attach(std::move(self));
}

void TContacts::Attach(std::unique_ptr<TContact> contact) {
    FItems.push_back(std::move(contact));
}

std::unique_ptr<TContact> TContacts::Detach(const TContact& contact) {
    for (auto it = FItems.begin(); it != FItems.end(); ++it)
        if (it->get() == &contact) {
            std::unique_ptr<TContact> result = std::move(*it);
            FItems.erase(it);
            return result;
        }
    return nullptr;
}

void TContacts::Clear() {
    // Each contact leaves the list before it is destroyed.
    while (!FItems.empty())
        Detach(*FItems.front());
}

void TContacts::LoadDefaults() {
    struct TDefault {
        const char* Name;
        const char* Device;
        uint8_t Mask;
        bool Settable; // both SetPulseTime and SetDeviceState
    };
    static const TDefault defaults[] = {
        {"A24", "\xCF\xF0\xE8\xED\xF2\xE5\xF0", 0x01, true}, // "Принтер"
        {"0B5", "xxxxxxx", 0x40, true},
        {"C12", "XXXXXX", 0x20, true},
        {"D12", "\xC7\xE0\xEC\xEE\xEA", 0x80, false}, // "Замок": pulses of 1000 ms only
        {"E12", "AUDIO", 0x02, true},
        {"F24", "\xD0\xE5\xE7\xE5\xF0\xE2", 0x04, true}, // "Резерв"
        {"G24", "GSM", 0x08, true},
        {"H24", "\xD1\xE5\xE9\xF4", 0x10, true}, // "Сейф"
    };
    Clear();
    PortNumber = 1;
    for (const TDefault& d : defaults) {
        TContactRec rec;
        rec.Mask = d.Mask;
        rec.Name = d.Name;
        rec.Device = d.Device;
        rec.PulseTime = 1000;
        rec.SetPulseTime = d.Settable;
        rec.SetDeviceState = d.Settable;
        TContact::Create(*this, rec);
    }
}

void TContacts::LoadFromFile(const std::wstring& fileName) {
    const std::wstring path = FullPath(fileName);
    if (!FileExists(path)) {
        LoadDefaults();
        return;
    }
    // Until the file has been read whole, its contents are unknown, so no save may replace it;
    // the list stays as it was.
    FUnreadFile = path;
    std::string bytes;
    if (!ReadBytes(path, bytes))
        RaiseLastError(kReadFailed, fileName);
    const TUnicodeCopy copy(bytes, fileName);
    const std::wstring& file = copy.Path();
    FUnreadFile.clear();
    Clear();
    PortNumber = ReadInt(file, kCommon, kPortNumber, 1);
    static const wchar_t* const keys[] = {kName,      kMask,         kDevice,
                                          kPulseTime, kSetPulseTime, kSetDeviceState};
    for (const std::wstring& name : SectionNames(file)) {
        // The only comparison of names that minds letter case.
        if (name == kCommon)
            continue;
        const wchar_t* section = name.c_str();
        bool complete = true;
        for (const wchar_t* key : keys)
            if (!HasKey(file, section, key)) {
                complete = false;
                break;
            }
        if (!complete)
            continue;
        TContactRec rec;
        rec.Name = ReadText(file, section, kName);
        rec.Mask = static_cast<uint8_t>(ReadInt(file, section, kMask, 0));
        rec.Device = ReadText(file, section, kDevice);
        rec.PulseTime = static_cast<uint16_t>(ReadInt(file, section, kPulseTime, 0));
        rec.SetPulseTime = ReadBool(file, section, kSetPulseTime);
        rec.SetDeviceState = ReadBool(file, section, kSetDeviceState);
        TContact::Create(*this, rec);
    }
}

void TContacts::SaveToFile(const std::wstring& fileName) const {
    const std::wstring path = FullPath(fileName);
    if (path == FUnreadFile && FileExists(path))
        throw EContactError(Cp1251ToWide(kNotOverwritten) + L" \"" + fileName + L"\"");
    TTempFile file(path);
    file.Write(kCommon, kPortNumber, std::to_string(PortNumber));
    for (int i = 0; i < Count(); ++i) {
        const TContactRec& rec = Items(i).Data;
        const std::wstring section = std::to_wstring(i);
        file.Write(section, kName, rec.Name);
        file.Write(section, kMask, std::to_string(rec.Mask));
        file.Write(section, kDevice, rec.Device);
        file.Write(section, kPulseTime, std::to_string(rec.PulseTime));
        file.Write(section, kSetPulseTime, rec.SetPulseTime ? "1" : "0");
        file.Write(section, kSetDeviceState, rec.SetDeviceState ? "1" : "0");
    }
    file.ReplaceTarget();
}
