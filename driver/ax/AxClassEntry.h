// A class in the server's list, as the server and the objects of the class know it: the class
// object handed out for its class id, and the registry entries that make the class reachable.
// The control factory is one.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <string>

class TAxRegistry;

class TAxClassEntry : public IClassFactory {
public:
    virtual ~TAxClassEntry() = default;

    virtual const CLSID& ClassId() const = 0;
    // The ProgID and the misc status the class is registered with.
    virtual std::wstring ProgId() const = 0;
    virtual DWORD MiscStatus() const = 0;

    // Writes the class's registry entries in order; raises std::runtime_error at the first
    // that fails, leaving those written.
    virtual void Register(TAxRegistry& registry) const = 0;
    // Deletes the class's registry entries; returns false when a key could not be deleted.
    virtual bool Unregister(TAxRegistry& registry) const = 0;
};
