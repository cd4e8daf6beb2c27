// The test program's contact list: the board's relay outputs as named contacts, kept in the
// program's INI file in code page 1251 and read and written through the platform's private
// profile functions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "untIniFile.h"   // EContactError, the file's reader and writer
#include "untIniNumber.h" // ContactStrToInt, how a value reads as an integer

// The settings of one contact, copied whole by the window.
struct TContactRec {
    uint8_t Mask = 0;            // the contact's bit in the relay status byte
    std::string Name;            // short name, cp1251
    std::string Device;          // the device on the contact, cp1251
    uint16_t PulseTime = 0;      // pulse duration in milliseconds
    bool SetPulseTime = false;   // the operator may change the pulse duration
    bool SetDeviceState = false; // the operator may switch the contact on and off
};

bool operator==(const TContactRec& a, const TContactRec& b);
inline bool operator!=(const TContactRec& a, const TContactRec& b) {
    return !(a == b);
}

class TContacts;

// One entry of a contact list. A contact always belongs to exactly one list, which owns it:
// it is made into a list, moves between lists, and is destroyed by its list.
class TContact {
    struct Key {
        explicit Key() = default;
    };

public:
    // Only Create builds contacts, so that every contact is owned by its list.
    TContact(Key, TContacts& owner, const TContactRec& data) : Data(data), FOwner(&owner) {}
    TContact(const TContact&) = delete;
    TContact& operator=(const TContact&) = delete;
    ~TContact() = default;

    // Makes a contact holding a copy of data and attaches it at the end of owner's list, which
    // owns it from then on. Returns the new contact.
    static TContact& Create(TContacts& owner, const TContactRec& data);

    TContacts& Owner() const { return *FOwner; }

    // Moves the contact from its list to the end of newOwner's list; nothing happens when
    // newOwner already holds it.
    void SetOwner(TContacts& newOwner);

    TContactRec Data;

private:
    TContacts* FOwner;
};

// The ordered list of contacts and the COM port number, with the settings file's reader and
// writer. The list owns its contacts; positions are 0-based in the order of loading.
class TContacts {
public:
    TContacts() = default;
    TContacts(const TContacts&) = delete;
    TContacts& operator=(const TContacts&) = delete;
    ~TContacts() { Clear(); }

    int Count() const { return static_cast<int>(FItems.size()); }
    // The contact at the 0-based index; the caller keeps index within 0 to Count() - 1.
    TContact& Items(int index) const { return *FItems[static_cast<size_t>(index)]; }

    // Destroys every contact, the entry at position 0 first.
    void Clear();

    // Replaces the contacts and PortNumber from the settings file (code page 1251 whatever the
    // system's; a file with a Unicode mark reads as such), or with the built-in set when no
    // such file exists (no file is made then). Raises EContactError when the name cannot be
    // resolved to a full path, or when the file exists but cannot be read; the list is then left
    // as it was, and that file is never overwritten by SaveToFile until it has been read.
    void LoadFromFile(const std::wstring& fileName);

    // Writes PortNumber and every contact as the complete new settings file, in code page 1251
    // on every system: the file is built under a temporary name in the same folder and then
    // replaces the old one in one step.
    // Raises EContactError on any failure, and for a file that could not be read; the old file
    // is then left as it was and the temporary file is removed.
    void SaveToFile(const std::wstring& fileName) const;

    // Replaces the contacts with the built-in set of eight and sets PortNumber to 1.
    void LoadDefaults();

    // The COM port number, 1-based; 0 until the list is loaded.
    int32_t PortNumber = 0;

private:
    friend class TContact;
    // Appends a contact to the end of the list.
    void Attach(std::unique_ptr<TContact> contact);
    // Takes the contact out of the list and hands over its ownership.
    std::unique_ptr<TContact> Detach(const TContact& contact);

    std::vector<std::unique_ptr<TContact>> FItems;
    // The full path of a settings file that exists but could not be read, or empty.
    std::wstring FUnreadFile;
};
