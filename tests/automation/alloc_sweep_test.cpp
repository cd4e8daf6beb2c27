// Every member of IKorvex and every method of the control's other interfaces, of its factory and
// of the exports' bodies, with the memory running out: the first, the second, ... allocation of
// the call fails, one at a time, until the call completes without meeting the failure. Every
// call then answers a defined HRESULT, and nothing leaves it by an exception: an IKorvex member
// S_OK, with -199 "Out of memory" recorded; any other method what it answers with memory to
// spare, or E_OUTOFMEMORY. This program links the control's code, so the global allocator
// replaced here is the control's.
#include <gtest/gtest.h>
#include <windows.h>

#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "AxRegistry.h"
#include "AxServer.h"
#include "KorvexClient.h"
#include "SimControl.h"

namespace {

// The allocations of the call under test: counted while armed, and the one numbered failAt fails.
struct {
    long count = 0;
    long failAt = 0; // 0: disarmed
    bool struck = false;
} shortage;

void Arm(long failAt) {
    shortage = {0, failAt, false};
}

// Disarms; returns whether the failure struck.
bool Disarm() {
    shortage.failAt = 0;
    return shortage.struck;
}

} // namespace

void* operator new(std::size_t size) {
    if (shortage.failAt && ++shortage.count == shortage.failAt) {
        shortage.struck = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

// What the control's container and clients lend it: a property bag that holds a value for
// every name and takes any, an advise sink and a property-notify sink. It lives as long as the
// program and allocates nothing.
class Sink final : public IPropertyBag, public IAdviseSinkEx, public IPropertyNotifySink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag))
            *out = static_cast<IPropertyBag*>(this);
        else if (IsEqualIID(iid, IID_IAdviseSink) || IsEqualIID(iid, IID_IAdviseSinkEx))
            *out = static_cast<IAdviseSinkEx*>(this);
        else if (IsEqualIID(iid, IID_IPropertyNotifySink))
            *out = static_cast<IPropertyNotifySink*>(this);
        else
            return *out = nullptr, E_NOINTERFACE;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR, VARIANT* value, IErrorLog*) override {
        V_VT(value) = VT_I4;
        V_I4(value) = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return S_OK; }
    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {}
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override {}
    void STDMETHODCALLTYPE OnViewStatusChange(DWORD) override {}
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
};

// A registry that takes every entry and keeps none.
class NullRegistry final : public TAxRegistry {
public:
    bool SetString(const std::wstring&, const std::wstring&, const std::wstring&) override {
        return true;
    }
    TAxKeyRemoval DeleteKey(const std::wstring&) override { return TAxKeyRemoval::Removed; }
    std::wstring OtherViewString(const std::wstring&) override { return std::wstring(); }
    HRESULT RegisterTypeLib(ITypeLib*, const std::wstring&, const std::wstring&) override {
        return S_OK;
    }
    HRESULT UnRegisterTypeLib(ITypeLib*) override { return S_OK; }
};

// One control object with every interface it offers, the factory, and what calls need.
struct Parts {
    Parts() {
        EXPECT_EQ(S_OK, TAxServer::Instance().GetClassObject(CLSID_Korvex, IID_IClassFactory,
                                                             factory.PutVoid()));
        EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IKorvex, korvex.PutVoid()));
        As(dispatch, IID_IDispatch);
        As(ole, IID_IOleObject);
        As(control, IID_IOleControl);
        As(inPlace, IID_IOleInPlaceObject);
        As(active, IID_IOleInPlaceActiveObject);
        As(quick, IID_IQuickActivate);
        As(view, IID_IViewObject2);
        As(data, IID_IDataObject);
        As(streamInit, IID_IPersistStreamInit);
        As(storage, IID_IPersistStorage);
        As(bag, IID_IPersistPropertyBag);
        As(container, IID_IConnectionPointContainer);
        As(errorInfo, IID_ISupportErrorInfo);
        As(classInfo, IID_IProvideClassInfo);
        As(safety, IID_IObjectSafety);
        As(pages, IID_ISpecifyPropertyPages);
        As(browsing, IID_IPerPropertyBrowsing);
        EXPECT_EQ(S_OK, container->FindConnectionPoint(IID_IPropertyNotifySink, point.Put()));
        EXPECT_EQ(S_OK, container->EnumConnectionPoints(points.Put()));
        EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
        TComPtr<ILockBytes> bytes;
        EXPECT_EQ(S_OK, CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()));
        EXPECT_EQ(S_OK, StgCreateDocfileOnILockBytes(
                            bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                            store.Put()));
        HDC screen = GetDC(nullptr);
        bitmap = TGdiObject<HBITMAP>(CreateCompatibleBitmap(screen, 48, 48));
        ReleaseDC(nullptr, screen);
        SelectObject(dc.Get(), bitmap.Get());
    }
    template <class T> void As(TComPtr<T>& itf, REFIID iid) {
        EXPECT_EQ(S_OK, korvex->QueryInterface(iid, itf.PutVoid()));
    }
    // The object on the board, as every call of the sweep finds it.
    void Ready() {
        korvex->put_PortNumber(sim::SimControl::comPort());
        korvex->put_Timeout(100);
        korvex->put_ToggleTime(0);
    }

    Sink sink;
    NullRegistry registry;
    TMemoryDc dc{nullptr};
    TGdiObject<HBITMAP> bitmap;
    TComPtr<IStream> stream;
    TComPtr<IStorage> store;
    TComPtr<IClassFactory> factory;
    TComPtr<IKorvex> korvex;
    TComPtr<IDispatch> dispatch;
    TComPtr<IOleObject> ole;
    TComPtr<IOleControl> control;
    TComPtr<IOleInPlaceObject> inPlace;
    TComPtr<IOleInPlaceActiveObject> active;
    TComPtr<IQuickActivate> quick;
    TComPtr<IViewObject2> view;
    TComPtr<IDataObject> data;
    TComPtr<IPersistStreamInit> streamInit;
    TComPtr<IPersistStorage> storage;
    TComPtr<IPersistPropertyBag> bag;
    TComPtr<IConnectionPointContainer> container;
    TComPtr<IConnectionPoint> point;
    TComPtr<IEnumConnectionPoints> points;
    TComPtr<ISupportErrorInfo> errorInfo;
    TComPtr<IProvideClassInfo> classInfo;
    TComPtr<IObjectSafety> safety;
    TComPtr<ISpecifyPropertyPages> pages;
    TComPtr<IPerPropertyBrowsing> browsing;
};

using Call = std::function<HRESULT(Parts&)>;

const FORMATETC kText{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};

// hr, with the interface a call handed out released.
HRESULT Given(HRESULT hr, IUnknown* out) {
    if (out)
        out->Release();
    return hr;
}

// A pair of calls: the second once the first has succeeded.
HRESULT Then(HRESULT first, const std::function<HRESULT()>& second) {
    return FAILED(first) ? first : second();
}

struct Case {
    std::string name;
    Call call;
    bool member;                              // of IKorvex: the failure is recorded as its result
    std::function<void(Parts&)> prepare = {}; // before each call, with memory to spare
};

std::vector<Case> MemberCases() {
    std::vector<Case> cases;
    for (const auto& [name, slot] : kLongSlots)
        cases.push_back({Narrow(name),
                         [slot = slot](Parts& p) {
                             LONG value = 0;
                             return (p.korvex.Get()->*slot)(&value);
                         },
                         true});
    for (const auto& [name, slot] : kTextSlots)
        cases.push_back({Narrow(name),
                         [slot = slot](Parts& p) {
                             TBstr text;
                             return (p.korvex.Get()->*slot)(text.Put());
                         },
                         true});
    for (const auto& [name, slot] : kPutSlots)
        cases.push_back({"put " + Narrow(name),
                         [slot = slot, name = name](Parts& p) {
                             LONG value = name == L"PortNumber" ? sim::SimControl::comPort() : 1;
                             return (p.korvex.Get()->*slot)(value);
                         },
                         true});
    // A failure the member records itself, and one the engine records.
    cases.push_back(
        {"put ReleStatus refused", [](Parts& p) { return p.korvex->put_ReleStatus(256); }, true});
    cases.push_back({"GetStatus without a port",
                     [](Parts& p) {
                         LONG value = 0;
                         return p.korvex->GetStatus(&value);
                     },
                     true,
                     [](Parts& p) {
                         LONG value = 0;
                         p.korvex->Disconnect(&value);
                         p.korvex->put_PortNumber(250);
                     }});
    return cases;
}

// clang-format off
const Case kPartCases[] = {
    {"IUnknown::QueryInterface", [](Parts& p) { IUnknown* u = nullptr; return Given(p.korvex->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&u)), u); }, false},
    {"IDispatch::GetTypeInfoCount", [](Parts& p) { UINT n; return p.dispatch->GetTypeInfoCount(&n); }, false},
    {"IDispatch::GetTypeInfo", [](Parts& p) { ITypeInfo* t = nullptr; return Given(p.dispatch->GetTypeInfo(0, 0, &t), t); }, false},
    {"IDispatch::GetIDsOfNames", [](Parts& p) { LPOLESTR name = const_cast<LPOLESTR>(L"ReleStatus"); DISPID id; return p.dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id); }, false},
    {"IDispatch::Invoke get", [](Parts& p) { DISPPARAMS none{}; TVariant v; return p.dispatch->Invoke(DISPID_KORVEX_RESULT_DESCRIPTION, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, v.Get(), nullptr, nullptr); }, false},
    {"IDispatch::Invoke put", [](Parts& p) { VARIANT v; V_VT(&v) = VT_I4; V_I4(&v) = 3; DISPID named = DISPID_PROPERTYPUT; DISPPARAMS one{&v, &named, 1, 1}; return p.dispatch->Invoke(DISPID_KORVEX_RELE_STATUS, IID_NULL, 0, DISPATCH_PROPERTYPUT, &one, nullptr, nullptr, nullptr); }, false},
    {"IOleObject::SetClientSite", [](Parts& p) { return p.ole->SetClientSite(nullptr); }, false},
    {"IOleObject::GetClientSite", [](Parts& p) { IOleClientSite* s = nullptr; return Given(p.ole->GetClientSite(&s), s); }, false},
    {"IOleObject::SetHostNames", [](Parts& p) { return p.ole->SetHostNames(L"Host", nullptr); }, false},
    {"IOleObject::Close", [](Parts& p) { return p.ole->Close(OLECLOSE_NOSAVE); }, false},
    {"IOleObject::SetMoniker", [](Parts& p) { return p.ole->SetMoniker(OLEWHICHMK_OBJREL, nullptr); }, false},
    {"IOleObject::GetMoniker", [](Parts& p) { IMoniker* m = nullptr; return Given(p.ole->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_OBJREL, &m), m); }, false},
    {"IOleObject::InitFromData", [](Parts& p) { return p.ole->InitFromData(nullptr, TRUE, 0); }, false},
    {"IOleObject::GetClipboardData", [](Parts& p) { IDataObject* d = nullptr; return Given(p.ole->GetClipboardData(0, &d), d); }, false},
    {"IOleObject::DoVerb", [](Parts& p) { return Then(p.ole->DoVerb(OLEIVERB_HIDE, nullptr, nullptr, 0, nullptr, nullptr), [&] { return p.ole->DoVerb(0, nullptr, nullptr, 0, nullptr, nullptr); }); }, false},
    {"IOleObject::EnumVerbs", [](Parts& p) { IEnumOLEVERB* e = nullptr; return Given(p.ole->EnumVerbs(&e), e); }, false},
    {"IOleObject::Update", [](Parts& p) { return p.ole->Update(); }, false},
    {"IOleObject::IsUpToDate", [](Parts& p) { return p.ole->IsUpToDate(); }, false},
    {"IOleObject::GetUserClassID", [](Parts& p) { CLSID id; return p.ole->GetUserClassID(&id); }, false},
    {"IOleObject::GetUserType", [](Parts& p) { LPOLESTR t = nullptr; HRESULT hr = p.ole->GetUserType(USERCLASSTYPE_FULL, &t); CoTaskMemFree(t); return hr; }, false},
    {"IOleObject::SetExtent", [](Parts& p) { SIZEL s{1058, 1058}; return p.ole->SetExtent(DVASPECT_CONTENT, &s); }, false},
    {"IOleObject::GetExtent", [](Parts& p) { SIZEL s; return p.ole->GetExtent(DVASPECT_CONTENT, &s); }, false},
    {"IOleObject::Advise", [](Parts& p) { DWORD c = 0; return Then(p.ole->Advise(&p.sink, &c), [&] { return p.ole->Unadvise(c); }); }, false},
    {"IOleObject::EnumAdvise", [](Parts& p) { IEnumSTATDATA* e = nullptr; return Given(p.ole->EnumAdvise(&e), e); }, false},
    {"IOleObject::GetMiscStatus", [](Parts& p) { DWORD s; return p.ole->GetMiscStatus(DVASPECT_CONTENT, &s); }, false},
    {"IOleObject::SetColorScheme", [](Parts& p) { return p.ole->SetColorScheme(nullptr); }, false},
    {"IOleControl::GetControlInfo", [](Parts& p) { CONTROLINFO i{}; i.cb = sizeof i; return p.control->GetControlInfo(&i); }, false},
    {"IOleControl::OnMnemonic", [](Parts& p) { MSG m{}; return p.control->OnMnemonic(&m); }, false},
    {"IOleControl::OnAmbientPropertyChange", [](Parts& p) { return p.control->OnAmbientPropertyChange(DISPID_UNKNOWN); }, false},
    {"IOleControl::FreezeEvents", [](Parts& p) { return p.control->FreezeEvents(TRUE); }, false},
    {"IOleWindow::GetWindow", [](Parts& p) { HWND w; return p.inPlace->GetWindow(&w); }, false},
    {"IOleWindow::ContextSensitiveHelp", [](Parts& p) { return p.inPlace->ContextSensitiveHelp(TRUE); }, false},
    {"IOleInPlaceObject::InPlaceDeactivate", [](Parts& p) { return p.inPlace->InPlaceDeactivate(); }, false},
    {"IOleInPlaceObject::UIDeactivate", [](Parts& p) { return p.inPlace->UIDeactivate(); }, false},
    {"IOleInPlaceObject::SetObjectRects", [](Parts& p) { RECT r{0, 0, 40, 40}; return p.inPlace->SetObjectRects(&r, &r); }, false},
    {"IOleInPlaceObject::ReactivateAndUndo", [](Parts& p) { return p.inPlace->ReactivateAndUndo(); }, false},
    {"IOleInPlaceActiveObject::TranslateAccelerator", [](Parts& p) { MSG m{}; return p.active->TranslateAccelerator(&m); }, false},
    {"IOleInPlaceActiveObject::OnFrameWindowActivate", [](Parts& p) { return p.active->OnFrameWindowActivate(TRUE); }, false},
    {"IOleInPlaceActiveObject::OnDocWindowActivate", [](Parts& p) { return p.active->OnDocWindowActivate(TRUE); }, false},
    {"IOleInPlaceActiveObject::ResizeBorder", [](Parts& p) { RECT r{0, 0, 40, 40}; return p.active->ResizeBorder(&r, nullptr, TRUE); }, false},
    {"IOleInPlaceActiveObject::EnableModeless", [](Parts& p) { return p.active->EnableModeless(TRUE); }, false},
    {"IQuickActivate::QuickActivate", [](Parts& p) { QACONTAINER c{}; c.cbSize = sizeof c; c.pAdviseSink = &p.sink; c.pPropertyNotifySink = &p.sink; QACONTROL q{}; q.cbSize = sizeof q; return p.quick->QuickActivate(&c, &q); }, false},
    {"IQuickActivate::SetContentExtent", [](Parts& p) { SIZEL s{1058, 1058}; return p.quick->SetContentExtent(&s); }, false},
    {"IQuickActivate::GetContentExtent", [](Parts& p) { SIZEL s; return p.quick->GetContentExtent(&s); }, false},
    {"IViewObject::Draw", [](Parts& p) { RECTL b{0, 0, 40, 40}; return p.view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, p.dc.Get(), &b, nullptr, nullptr, 0); }, false},
    {"IViewObject::GetColorSet", [](Parts& p) { LOGPALETTE* c = nullptr; return p.view->GetColorSet(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, &c); }, false},
    {"IViewObject::Freeze", [](Parts& p) { DWORD f; return p.view->Freeze(DVASPECT_CONTENT, -1, nullptr, &f); }, false},
    {"IViewObject::Unfreeze", [](Parts& p) { return p.view->Unfreeze(0); }, false},
    {"IViewObject::SetAdvise", [](Parts& p) { return p.view->SetAdvise(DVASPECT_CONTENT, 0, &p.sink); }, false},
    {"IViewObject::GetAdvise", [](Parts& p) { DWORD a, f; IAdviseSink* s = nullptr; return Given(p.view->GetAdvise(&a, &f, &s), s); }, false},
    {"IViewObject2::GetExtent", [](Parts& p) { SIZEL s; return p.view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &s); }, false},
    {"IDataObject::GetData", [](Parts& p) { FORMATETC f = kText; STGMEDIUM m{}; return p.data->GetData(&f, &m); }, false},
    {"IDataObject::GetDataHere", [](Parts& p) { FORMATETC f = kText; STGMEDIUM m{}; return p.data->GetDataHere(&f, &m); }, false},
    {"IDataObject::QueryGetData", [](Parts& p) { FORMATETC f = kText; return p.data->QueryGetData(&f); }, false},
    {"IDataObject::GetCanonicalFormatEtc", [](Parts& p) { FORMATETC f = kText, c; return p.data->GetCanonicalFormatEtc(&f, &c); }, false},
    {"IDataObject::SetData", [](Parts& p) { FORMATETC f = kText; STGMEDIUM m{}; return p.data->SetData(&f, &m, FALSE); }, false},
    {"IDataObject::EnumFormatEtc", [](Parts& p) { IEnumFORMATETC* e = nullptr; return Given(p.data->EnumFormatEtc(DATADIR_GET, &e), e); }, false},
    {"IDataObject::DAdvise", [](Parts& p) { FORMATETC f = kText; DWORD c = 0; return Then(p.data->DAdvise(&f, 0, &p.sink, &c), [&] { return p.data->DUnadvise(c); }); }, false},
    {"IDataObject::EnumDAdvise", [](Parts& p) { IEnumSTATDATA* e = nullptr; return Given(p.data->EnumDAdvise(&e), e); }, false},
    {"IPersist::GetClassID", [](Parts& p) { CLSID id; return p.streamInit->GetClassID(&id); }, false},
    {"IPersistStreamInit::IsDirty", [](Parts& p) { return p.streamInit->IsDirty(); }, false},
    {"IPersistStreamInit::InitNew", [](Parts& p) { return p.streamInit->InitNew(); }, false},
    {"IPersistStreamInit::Save", [](Parts& p) { return p.streamInit->Save(p.stream.Get(), TRUE); }, false},
    {"IPersistStreamInit::Load", [](Parts& p) { LARGE_INTEGER start{}; p.stream->Seek(start, STREAM_SEEK_SET, nullptr); HRESULT hr = p.streamInit->Save(p.stream.Get(), FALSE); p.stream->Seek(start, STREAM_SEEK_SET, nullptr); return Then(hr, [&] { return p.streamInit->Load(p.stream.Get()); }); }, false},
    {"IPersistStreamInit::GetSizeMax", [](Parts& p) { ULARGE_INTEGER s; return p.streamInit->GetSizeMax(&s); }, false},
    {"IPersistStorage::InitNew", [](Parts& p) { return p.storage->InitNew(p.store.Get()); }, false},
    {"IPersistStorage::Save", [](Parts& p) { return p.storage->Save(p.store.Get(), FALSE); }, false},
    {"IPersistStorage::Load", [](Parts& p) { return Then(p.storage->Save(p.store.Get(), FALSE), [&] { return p.storage->Load(p.store.Get()); }); }, false},
    {"IPersistStorage::SaveCompleted", [](Parts& p) { return p.storage->SaveCompleted(nullptr); }, false},
    {"IPersistStorage::HandsOffStorage", [](Parts& p) { return p.storage->HandsOffStorage(); }, false},
    {"IPersistPropertyBag::Load", [](Parts& p) { return p.bag->Load(&p.sink, nullptr); }, false},
    {"IPersistPropertyBag::Save", [](Parts& p) { return p.bag->Save(&p.sink, TRUE, TRUE); }, false},
    {"IConnectionPointContainer::EnumConnectionPoints", [](Parts& p) { IEnumConnectionPoints* e = nullptr; return Given(p.container->EnumConnectionPoints(&e), e); }, false},
    {"IConnectionPointContainer::FindConnectionPoint", [](Parts& p) { IConnectionPoint* c = nullptr; return Given(p.container->FindConnectionPoint(IID_IPropertyNotifySink, &c), c); }, false},
    {"IConnectionPoint::GetConnectionInterface", [](Parts& p) { IID iid; return p.point->GetConnectionInterface(&iid); }, false},
    {"IConnectionPoint::GetConnectionPointContainer", [](Parts& p) { IConnectionPointContainer* c = nullptr; return Given(p.point->GetConnectionPointContainer(&c), c); }, false},
    {"IConnectionPoint::Advise", [](Parts& p) { DWORD c = 0; return Then(p.point->Advise(static_cast<IPropertyNotifySink*>(&p.sink), &c), [&] { return p.point->Unadvise(c); }); }, false},
    {"IConnectionPoint::EnumConnections", [](Parts& p) { IEnumConnections* e = nullptr; return Given(p.point->EnumConnections(&e), e); }, false},
    {"IEnumConnectionPoints::Next", [](Parts& p) { IConnectionPoint* c = nullptr; p.points->Reset(); return Given(p.points->Next(1, &c, nullptr), c); }, false},
    {"IEnumConnectionPoints::Skip", [](Parts& p) { p.points->Reset(); return p.points->Skip(1); }, false},
    {"IEnumConnectionPoints::Reset", [](Parts& p) { return p.points->Reset(); }, false},
    {"IEnumConnectionPoints::Clone", [](Parts& p) { IEnumConnectionPoints* e = nullptr; return Given(p.points->Clone(&e), e); }, false},
    {"ISupportErrorInfo::InterfaceSupportsErrorInfo", [](Parts& p) { return p.errorInfo->InterfaceSupportsErrorInfo(IID_IKorvex); }, false},
    {"IProvideClassInfo::GetClassInfo", [](Parts& p) { ITypeInfo* t = nullptr; return Given(p.classInfo->GetClassInfo(&t), t); }, false},
    {"IObjectSafety::GetInterfaceSafetyOptions", [](Parts& p) { DWORD s, e; return p.safety->GetInterfaceSafetyOptions(IID_IDispatch, &s, &e); }, false},
    {"IObjectSafety::SetInterfaceSafetyOptions", [](Parts& p) { return p.safety->SetInterfaceSafetyOptions(IID_IDispatch, 0, 0); }, false},
    {"ISpecifyPropertyPages::GetPages", [](Parts& p) { CAUUID c; return p.pages->GetPages(&c); }, false},
    {"IPerPropertyBrowsing::GetDisplayString", [](Parts& p) { TBstr t; return p.browsing->GetDisplayString(DISPID_KORVEX_RELE_STATUS, t.Put()); }, false},
    {"IPerPropertyBrowsing::MapPropertyToPage", [](Parts& p) { CLSID page; return p.browsing->MapPropertyToPage(DISPID_KORVEX_RELE_STATUS, &page); }, false},
    {"IPerPropertyBrowsing::GetPredefinedStrings", [](Parts& p) { CALPOLESTR s; CADWORD c; return p.browsing->GetPredefinedStrings(DISPID_KORVEX_RELE_STATUS, &s, &c); }, false},
    {"IPerPropertyBrowsing::GetPredefinedValue", [](Parts& p) { TVariant v; return p.browsing->GetPredefinedValue(DISPID_KORVEX_RELE_STATUS, 0, v.Get()); }, false},
    {"IClassFactory::CreateInstance", [](Parts& p) { IUnknown* u = nullptr; return Given(p.factory->CreateInstance(nullptr, IID_IKorvex, reinterpret_cast<void**>(&u)), u); }, false},
    {"IClassFactory::LockServer", [](Parts& p) { return Then(p.factory->LockServer(TRUE), [&] { return p.factory->LockServer(FALSE); }); }, false},
    {"DllGetClassObject", [](Parts&) { IUnknown* u = nullptr; return Given(TAxServer::Instance().GetClassObject(CLSID_Korvex, IID_IClassFactory, reinterpret_cast<void**>(&u)), u); }, false},
    {"DllRegisterServer", [](Parts& p) { return TAxServer::Instance().RegisterServer(p.registry); }, false},
    {"DllUnregisterServer", [](Parts& p) { return TAxServer::Instance().UnregisterServer(p.registry); }, false},
};
// clang-format on

// The call on the object made ready for it, and whether an exception left it.
HRESULT Attempt(const Case& c, Parts& parts, bool& escaped, long failAt) {
    parts.Ready();
    if (c.prepare)
        c.prepare(parts);
    escaped = false;
    Arm(failAt);
    HRESULT hr = E_ABORT;
    try {
        hr = c.call(parts);
    } catch (...) {
        escaped = true;
    }
    return hr;
}

TEST(OutOfMemory, EveryMethodAnswersADefinedResultWhicheverAllocationFails) {
    sim::SimControl board;
    board.reset();
    Parts parts;
    std::vector<Case> cases = MemberCases();
    cases.insert(cases.end(), std::begin(kPartCases), std::end(kPartCases));
    constexpr long kMostAllocations = 10000;
    long swept = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool escaped = false;
        // With memory to spare; the first call also makes what is made once per process.
        const HRESULT spare = Attempt(c, parts, escaped, 0);
        ASSERT_FALSE(escaped);
        for (long failAt = 1; failAt <= kMostAllocations; ++failAt) {
            const HRESULT hr = Attempt(c, parts, escaped, failAt);
            const bool struck = Disarm();
            ASSERT_FALSE(escaped) << "allocation " << failAt;
            if (!struck) {
                EXPECT_EQ(spare, hr) << "completed after " << failAt - 1 << " allocations";
                swept += failAt - 1;
                break;
            }
            if (c.member) {
                LONG code = 0;
                TBstr text;
                EXPECT_EQ(S_OK, hr) << "allocation " << failAt;
                EXPECT_EQ(S_OK, parts.korvex->get_ResultCode(&code));
                EXPECT_EQ(S_OK, parts.korvex->get_ResultDescription(text.Put()));
                EXPECT_EQ(-199, code) << "allocation " << failAt;
                EXPECT_EQ(L"Out of memory", text.Text()) << "allocation " << failAt;
            } else {
                EXPECT_TRUE(hr == spare || hr == E_OUTOFMEMORY)
                    << "allocation " << failAt << ": 0x" << std::hex << hr;
            }
            ASSERT_LT(failAt, kMostAllocations) << "the call never completed";
        }
    }
    std::printf("alloc sweep: %zu calls, %ld allocations failed one at a time\n", cases.size(),
                swept);
}

} // namespace
