// The control factory: creates the objects of one control class, and knows the registry
// entries that make the class reachable by class id and ProgID.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>
#include <vector>

#include "AxClassEntry.h"
#include "AxRegistry.h"

using TAxCreateFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

// A verb a container may offer for the control.
struct TAxVerb {
    LONG id;
    std::wstring name;
};

// The control class as the program describes it at start-up.
struct TAxControlClass {
    const char* objectClassName; // in the start-up failure messages
    CLSID classId;
    IID dualInterface; // the one the object class implements
    TAxCreateFunction create;
    UINT toolboxBitmapId;
    DWORD miscStatus; // joined with the status every control of this framework has
    const wchar_t* threadingModel;
};

// The misc status every control gets beside its own: recompose on resize, can't link inside,
// inside-out, activate when visible, set client site first.
constexpr DWORD AX_CONTROL_MISC_STATUS = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                         OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                         OLEMISC_SETCLIENTSITEFIRST;

class TAxControlFactory final : public TAxClassEntry {
public:
    // Reads the class's name, description and default interface from the server's type
    // library. Raises std::runtime_error when they do not agree with the class.
    explicit TAxControlFactory(const TAxControlClass& controlClass);
    TAxControlFactory(const TAxControlFactory&) = delete;
    TAxControlFactory& operator=(const TAxControlFactory&) = delete;

    // IUnknown: the factory lives as long as the module; its references are counted by the
    // server.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IClassFactory. A construction that fails gives E_UNEXPECTED; where the process can show a
    // window to a user, the "DAX Error" box first tells why. One that runs out of memory gives
    // E_OUTOFMEMORY, without a box.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

    const CLSID& ClassId() const override { return class_.classId; }
    std::wstring ProgId() const override;
    DWORD MiscStatus() const override { return class_.miscStatus | AX_CONTROL_MISC_STATUS; }

    // Writes the class's registry entries in order; raises std::runtime_error at the first
    // that fails, leaving those written.
    void Register(TAxRegistry& registry) const override;
    // Deletes the class's keys, deepest first; keys that are missing or have subkeys stay. The
    // ProgID's keys, which both architectures share, stay while the other architecture's view
    // still registers the class. Returns false when a key could not be deleted.
    bool Unregister(TAxRegistry& registry) const override;

private:
    struct Entry {
        std::wstring key;
        std::wstring name;
        std::wstring data;
    };
    // The registry entries, in the order they are written.
    std::vector<Entry> Entries() const;

    TAxControlClass class_;
    std::wstring className_;
    std::wstring description_;
    std::vector<TAxVerb> verbs_;
};
