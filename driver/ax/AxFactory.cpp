#include "AxFactory.h"

#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>

#include "AxQuery.h"
#include "AxServer.h"
#include "AxTypeInfo.h"
#include "WinHolders.h"
#include "WinText.h"

namespace {

// The text of message with %s replaced by name.
std::string AxFormat(const char* message, const char* name) {
    char text[256];
    std::snprintf(text, sizeof text, message, name);
    return text;
}

// The default interface of a coclass, or IID_NULL when it names none.
IID DefaultInterfaceOf(ITypeInfo* coclass) {
    const UINT count = AxTypeCount(coclass, &TYPEATTR::cImplTypes);
    for (UINT i = 0; i < count; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        TComPtr<ITypeInfo> implemented;
        TYPEATTR* attr = nullptr;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) ||
            (flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != IMPLTYPEFLAG_FDEFAULT ||
            FAILED(coclass->GetRefTypeOfImplType(i, &ref)) ||
            FAILED(coclass->GetRefTypeInfo(ref, implemented.Put())) ||
            FAILED(implemented->GetTypeAttr(&attr)))
            continue;
        IID iid = attr->guid;
        implemented->ReleaseTypeAttr(attr);
        return iid;
    }
    return IID_NULL;
}

// The module path as InprocServer32 takes it: the short form when the long one has a space.
std::wstring ServerPath(const std::wstring& path) {
    if (path.find(L' ') == std::wstring::npos)
        return path;
    std::wstring shortPath(MAX_PATH, L'\0');
    DWORD length = GetShortPathNameW(path.c_str(), &shortPath[0], MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return path;
    shortPath.resize(length);
    return shortPath;
}

// Whether the process can show a window to a user: its window station is the interactive one
// (WSF_VISIBLE). A service, or a task that runs whether a user is logged on or not, has one that
// is not; a modal box there waits for a click that never comes. When the station cannot be
// asked, it is taken for one that is not.
bool InteractiveWindowStation() {
    HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    return station &&
           GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
           (flags.dwFlags & WSF_VISIBLE);
}

// A construction that failed: says why where someone can read it, since the caller only sees
// E_UNEXPECTED. A box that cannot be made for want of memory is left out.
void ShowConstructionFailure(const char* message) noexcept {
    if (!InteractiveWindowStation())
        return;
    try {
        std::string text = message;
        if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
            text += '.';
        MessageBoxW(nullptr, Cp1251ToWide(text).c_str(), L"DAX Error",
                    MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
    } catch (const std::bad_alloc&) {
    }
}

} // namespace

TAxControlFactory::TAxControlFactory(const TAxControlClass& controlClass)
    : class_(controlClass), verbs_{{0, L"Properties"}} {
    const char* name = class_.objectClassName;
    TComPtr<ITypeInfo> coclass = TAxServer::Instance().TypeInfoOf(class_.classId);
    if (!coclass)
        throw std::runtime_error(AxFormat("Type information missing for class %s", name));
    TBstr className, description;
    coclass->GetDocumentation(MEMBERID_NIL, className.Put(), description.Put(), nullptr, nullptr);
    className_ = className.Text();
    description_ = description.Text();
    IID defaultInterface = DefaultInterfaceOf(coclass.Get());
    if (IsEqualIID(defaultInterface, IID_NULL))
        throw std::runtime_error(AxFormat("Incorrect type information for class %s", name));
    if (!IsEqualIID(defaultInterface, class_.dualInterface))
        throw std::runtime_error(AxFormat("Dispatch interface missing from class %s", name));
}

std::wstring TAxControlFactory::ProgId() const {
    std::wstring server(TAxServer::Instance().ServerName().begin(),
                        TAxServer::Instance().ServerName().end());
    return server + L"." + className_;
}

HRESULT STDMETHODCALLTYPE TAxControlFactory::QueryInterface(REFIID iid, void** out) {
    return AxQuerySingle<IClassFactory>(this, iid, out);
}

ULONG STDMETHODCALLTYPE TAxControlFactory::AddRef() {
    return static_cast<ULONG>(TAxServer::Instance().FactoryAddRef());
}

ULONG STDMETHODCALLTYPE TAxControlFactory::Release() {
    return static_cast<ULONG>(TAxServer::Instance().FactoryRelease());
}

HRESULT STDMETHODCALLTYPE TAxControlFactory::CreateInstance(IUnknown* outer, REFIID iid,
                                                            void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer && !IsEqualIID(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    try {
        return class_.create(outer, iid, out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& failure) {
        ShowConstructionFailure(failure.what());
        return E_UNEXPECTED;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT STDMETHODCALLTYPE TAxControlFactory::LockServer(BOOL lock) {
    TAxServer& server = TAxServer::Instance();
    // An unlock that no lock matches gives back nothing, so it changes nothing.
    if (!lock && !server.Unlock())
        return S_OK;
    HRESULT hr = CoLockObjectExternal(static_cast<IClassFactory*>(this), lock, TRUE);
    if (lock)
        server.Lock();
    return hr;
}

std::vector<TAxControlFactory::Entry> TAxControlFactory::Entries() const {
    const TAxServer& server = TAxServer::Instance();
    const std::wstring classId = AxGuidText(class_.classId);
    const std::wstring key = L"CLSID\\" + classId;
    const std::wstring progId = ProgId();
    const std::wstring& path = server.ModulePath();

    std::wstring version = L"0.0", libraryId;
    TLIBATTR attr;
    if (AxLibraryAttributes(server.TypeLib(), attr)) {
        version = std::to_wstring(attr.wMajorVerNum) + L"." + std::to_wstring(attr.wMinorVerNum);
        libraryId = AxGuidText(attr.guid);
    }

    std::vector<Entry> entries = {
        {key, L"", description_},
        {key + L"\\InprocServer32", L"", ServerPath(path)},
        {key + L"\\InprocServer32", L"ThreadingModel", class_.threadingModel},
        {progId, L"", description_},
        {progId + L"\\Clsid", L"", classId},
        {key + L"\\ProgID", L"", progId},
        {key + L"\\Version", L"", version},
        {key + L"\\TypeLib", L"", libraryId},
        {key + L"\\MiscStatus", L"", L"0"},
        {key + L"\\MiscStatus\\1", L"", std::to_wstring(MiscStatus())},
        {key + L"\\ToolboxBitmap32", L"", path + L"," + std::to_wstring(class_.toolboxBitmapId)},
        {key + L"\\Control", L"", L""},
        {key + L"\\Verb", L"", L""},
    };
    // Menu flags 0, verb attributes 2: shown on the container's menu.
    for (const TAxVerb& verb : verbs_)
        entries.push_back({key + L"\\Verb\\" + std::to_wstring(verb.id), L"", verb.name + L",0,2"});
    return entries;
}

void TAxControlFactory::Register(TAxRegistry& registry) const {
    for (const Entry& e : Entries())
        if (!registry.SetString(e.key, e.name, e.data))
            throw std::runtime_error("Error creating system registry entry");
}

bool TAxControlFactory::Unregister(TAxRegistry& registry) const {
    const std::wstring progId = ProgId();
    // A system without the other view may answer with this one: its server is this module.
    const std::wstring otherServer =
        registry.OtherViewString(L"CLSID\\" + AxGuidText(class_.classId) + L"\\InprocServer32");
    const bool progIdShared =
        !otherServer.empty() &&
        lstrcmpiW(otherServer.c_str(), ServerPath(TAxServer::Instance().ModulePath()).c_str()) != 0;
    std::vector<Entry> entries = Entries();
    std::wstring previous;
    bool removed = true;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        const bool ofProgId = e->key == progId || e->key.rfind(progId + L"\\", 0) == 0;
        // A key that holds two values is written twice but deleted once.
        if (e->key != previous && !(ofProgId && progIdShared))
            removed &= registry.DeleteKey(e->key) != TAxKeyRemoval::Failed;
        previous = e->key;
    }
    return removed;
}
