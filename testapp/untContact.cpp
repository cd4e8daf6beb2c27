#include "untContact.h"

#include <windows.h>

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

const char kCommon[] = "Common";
const char kPortNumber[] = "PortNumber";
const char kName[] = "Name";
const char kMask[] = "Mask";
const char kDevice[] = "Device";
const char kPulseTime[] = "PulseTime";
const char kSetPulseTime[] = "SetPulseTime";
const char kSetDeviceState[] = "SetDeviceState";

// Raises EContactError with what, the file name and the text of the thread's last error.
[[noreturn]] void RaiseLastError(const char* what, const std::string& fileName) {
    const DWORD code = GetLastError();
    char text[512] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr);
    while (n > 0 &&
           (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.'))
        --n;
    throw EContactError(std::string(what) + " \"" + fileName + "\": " + std::string(text, n) +
                        " (" + kCode + " " + std::to_string(code) + ")");
}

// The profile functions look a name without a folder up in the Windows folder; the full path
// makes a relative name mean the current folder, as the file-existence test reads it.
std::string FullPath(const std::string& fileName) {
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetFullPathNameA(fileName.c_str(), static_cast<DWORD>(buffer.size()), &buffer[0],
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

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The profile functions read a file they cannot open as an empty one, without a word; so the
// file is opened once here first, as they would open it.
bool FileReadable(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// Writes the platform's cached copy of the file out and drops it, so that the next call reads
// the file as it is on disk. The platform reports no result for this call.
void FlushProfile(const std::string& path) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

// The names of all sections, in the order in which they stand in the file.
std::vector<std::string> SectionNames(const std::string& path) {
    std::vector<char> buffer(1024);
    DWORD n;
    for (;;) {
        n = GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()),
                                           path.c_str());
        // A list that does not fit comes back cut, with the length of the buffer less two.
        if (n + 2 < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    std::vector<std::string> names;
    for (const char* p = buffer.data(); p < buffer.data() + n && *p; p += names.back().size() + 1)
        names.emplace_back(p);
    return names;
}

// The value of key in section as the platform reads it, or def when the platform knows no such
// key (it trims blanks around the value and strips one pair of enclosing quotes).
std::string ReadString(const std::string& path, const char* section, const char* key,
                       const char* def) {
    std::vector<char> buffer(256);
    DWORD n;
    for (;;) {
        n = GetPrivateProfileStringA(section, key, def, buffer.data(),
                                     static_cast<DWORD>(buffer.size()), path.c_str());
        // A value that does not fit comes back cut, with the length of the buffer less one.
        if (n + 1 < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data(), n);
}

// A key is present when the platform gives a value for it: asked with two different
// defaults, it then answers the same both times.
bool HasKey(const std::string& path, const char* section, const char* key) {
    return ReadString(path, section, key, "\x01") == ReadString(path, section, key, "\x02");
}

int32_t ReadInt(const std::string& path, const char* section, const char* key, int32_t def) {
    int32_t value;
    return ContactStrToInt(ReadString(path, section, key, ""), value) ? value : def;
}

// False exactly when the value reads as the integer 0.
bool ReadBool(const std::string& path, const char* section, const char* key) {
    int32_t value;
    return !ContactStrToInt(ReadString(path, section, key, ""), value) || value != 0;
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

// The temporary file that a save builds; it is removed unless it has replaced the target.
class TTempFile {
public:
    explicit TTempFile(const std::string& target) : FTarget(target) {
        const std::string folder = target.substr(0, target.find_last_of("\\/") + 1);
        char name[MAX_PATH];
        // Makes an empty file of a new name in the target's folder.
        if (!GetTempFileNameA(folder.c_str(), "kvx", 0, name))
            RaiseLastError(kWriteFailed, target);
        FName = name;
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    ~TTempFile() {
        if (!FReplaced) {
            FlushProfile(FName);
            DeleteFileA(FName.c_str());
        }
    }

    void Write(const std::string& section, const char* key, const std::string& value) {
        if (!WritePrivateProfileStringA(section.c_str(), key, value.c_str(), FName.c_str()))
            RaiseLastError(kWriteFailed, FTarget);
    }

    // Puts the complete file in place of the target in one step.
    void ReplaceTarget() {
        FlushProfile(FName);
        if (!MoveFileExA(FName.c_str(), FTarget.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            RaiseLastError(kWriteFailed, FTarget);
        FReplaced = true;
        FlushProfile(FTarget);
    }

private:
    std::string FTarget;
    std::string FName;
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

void TContacts::LoadFromFile(const std::string& fileName) {
    const std::string path = FullPath(fileName);
    if (!FileExists(path)) {
        LoadDefaults();
        return;
    }
    if (!FileReadable(path)) {
        // Its contents are unknown, so no save may replace it; the list stays as it was.
        FUnreadFile = path;
        RaiseLastError(kReadFailed, fileName);
    }
    FUnreadFile.clear();
    FlushProfile(path);
    Clear();
    PortNumber = ReadInt(path, kCommon, kPortNumber, 1);
    static const char* const keys[] = {kName,      kMask,         kDevice,
                                       kPulseTime, kSetPulseTime, kSetDeviceState};
    for (const std::string& name : SectionNames(path)) {
        // The only comparison of names that minds letter case.
        if (name == kCommon)
            continue;
        const char* section = name.c_str();
        bool complete = true;
        for (const char* key : keys)
            if (!HasKey(path, section, key)) {
                complete = false;
                break;
            }
        if (!complete)
            continue;
        TContactRec rec;
        rec.Name = ReadString(path, section, kName, "");
        rec.Mask = static_cast<uint8_t>(ReadInt(path, section, kMask, 0));
        rec.Device = ReadString(path, section, kDevice, "");
        rec.PulseTime = static_cast<uint16_t>(ReadInt(path, section, kPulseTime, 0));
        rec.SetPulseTime = ReadBool(path, section, kSetPulseTime);
        rec.SetDeviceState = ReadBool(path, section, kSetDeviceState);
        TContact::Create(*this, rec);
    }
}

void TContacts::SaveToFile(const std::string& fileName) const {
    const std::string path = FullPath(fileName);
    if (path == FUnreadFile && FileExists(path))
        throw EContactError(std::string(kNotOverwritten) + " \"" + fileName + "\"");
    TTempFile file(path);
    file.Write(kCommon, kPortNumber, std::to_string(PortNumber));
    for (int i = 0; i < Count(); ++i) {
        const TContactRec& rec = Items(i).Data;
        const std::string section = std::to_string(i);
        file.Write(section, kName, rec.Name);
        file.Write(section, kMask, std::to_string(rec.Mask));
        file.Write(section, kDevice, rec.Device);
        file.Write(section, kPulseTime, std::to_string(rec.PulseTime));
        file.Write(section, kSetPulseTime, rec.SetPulseTime ? "1" : "0");
        file.Write(section, kSetDeviceState, rec.SetDeviceState ? "1" : "0");
    }
    file.ReplaceTarget();
}
