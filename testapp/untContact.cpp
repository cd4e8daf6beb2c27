#include "untContact.h"

#include <string>
#include <utility>

namespace {

// "Файл настроек не был прочитан и не перезаписан" (the file was not read, so not overwritten)
const char kNotOverwritten[] =
    "\xD4\xE0\xE9\xEB \xED\xE0\xF1\xF2\xF0\xEE\xE5\xEA \xED\xE5 \xE1\xFB\xEB "
    "\xEF\xF0\xEE\xF7\xE8\xF2\xE0\xED \xE8 \xED\xE5 "
    "\xEF\xE5\xF0\xE5\xE7\xE0\xEF\xE8\xF1\xE0\xED";

// The sections and keys of the settings file.
const wchar_t kCommon[] = L"Common";
const wchar_t kPortNumber[] = L"PortNumber";
const wchar_t kName[] = L"Name";
const wchar_t kMask[] = L"Mask";
const wchar_t kDevice[] = L"Device";
const wchar_t kPulseTime[] = L"PulseTime";
const wchar_t kSetPulseTime[] = L"SetPulseTime";
const wchar_t kSetDeviceState[] = L"SetDeviceState";

} // namespace

bool operator==(const TContactRec& a, const TContactRec& b) {
    return a.Mask == b.Mask && a.Name == b.Name && a.Device == b.Device &&
           a.PulseTime == b.PulseTime && a.SetPulseTime == b.SetPulseTime &&
           a.SetDeviceState == b.SetDeviceState;
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
    const std::wstring path = IniFullPath(fileName);
    if (!IniFileExists(path)) {
        LoadDefaults();
        return;
    }
    // Until the file has been read whole, its contents are unknown, so no save may replace it;
    // the list stays as it was.
    FUnreadFile = path;
    const TIniReader file(path, fileName);
    FUnreadFile.clear();
    Clear();
    PortNumber = file.ReadInt(kCommon, kPortNumber, 1);
    static const wchar_t* const keys[] = {kName,      kMask,         kDevice,
                                          kPulseTime, kSetPulseTime, kSetDeviceState};
    for (const std::wstring& name : file.SectionNames()) {
        // The only comparison of names that minds letter case.
        if (name == kCommon)
            continue;
        const wchar_t* section = name.c_str();
        bool complete = true;
        for (const wchar_t* key : keys)
            if (!file.HasKey(section, key)) {
                complete = false;
                break;
            }
        if (!complete)
            continue;
        TContactRec rec;
        rec.Name = file.ReadText(section, kName);
        rec.Mask = static_cast<uint8_t>(file.ReadInt(section, kMask, 0));
        rec.Device = file.ReadText(section, kDevice);
        rec.PulseTime = static_cast<uint16_t>(file.ReadInt(section, kPulseTime, 0));
        rec.SetPulseTime = file.ReadBool(section, kSetPulseTime);
        rec.SetDeviceState = file.ReadBool(section, kSetDeviceState);
        TContact::Create(*this, rec);
    }
}

void TContacts::SaveToFile(const std::wstring& fileName) const {
    const std::wstring path = IniFullPath(fileName);
    if (path == FUnreadFile && IniFileExists(path))
        throw EContactError(Cp1251ToWide(kNotOverwritten) + L" \"" + fileName + L"\"");
    TIniWriter file(path);
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
