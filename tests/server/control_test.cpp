// The control object's standard side, as containers use it: the interfaces it answers, its
// misc status, verbs, user type and extent, persistence, drawing, connection point and safety,
// and in-place activation in a foreign container (Wine's ATL host window).
#include <gtest/gtest.h>
#include <windows.h>

#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <memory>
#include <string>

#include "AtlHost.h"
#include "ExpectedTexts.h"
#include "KorvexDll.h"
#include "Savolin_TLB.h"
#include "WinHolders.h"

namespace {

constexpr DWORD kMiscStatus = 132497;

// Pixels to HIMETRIC at 96 pixels per inch, as containers convert.
LONG Himetric(LONG pixels) {
    return MulDiv(pixels, 2540, 96);
}

template <class T> TComPtr<T> Query(IUnknown* object, REFIID iid) {
    TComPtr<T> itf;
    EXPECT_EQ(S_OK, object->QueryInterface(iid, itf.PutVoid()));
    return itf;
}

// A registered Korvex.dll, the apartment of this thread and one new control object.
class Control : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(S_OK, RegisterKorvexDll()); }

    void SetUp() override {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        object = NewObject();
        ASSERT_TRUE(object);
    }
    void TearDown() override {
        object.Reset();
        CoUninitialize();
    }

    static TComPtr<IUnknown> NewObject() {
        TComPtr<IUnknown> created;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_Korvex, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                         created.PutVoid()));
        return created;
    }
    template <class T> TComPtr<T> As(REFIID iid) { return Query<T>(object.Get(), iid); }

    SIZEL Extent(IUnknown* of) {
        SIZEL size{-1, -1};
        EXPECT_EQ(S_OK, Query<IOleObject>(of, IID_IOleObject)->GetExtent(DVASPECT_CONTENT, &size));
        return size;
    }
    void SetPixelSize(IUnknown* of, LONG width, LONG height) {
        SIZEL size{Himetric(width), Himetric(height)};
        ASSERT_EQ(S_OK, Query<IOleObject>(of, IID_IOleObject)->SetExtent(DVASPECT_CONTENT, &size));
    }

    TComPtr<IUnknown> object;
};

// What DllCanUnloadNow answered while the control's window was being destroyed.
HRESULT unloadWhileWindowGoes = E_FAIL;
WNDPROC controlWindowProcedure = nullptr;

HRESULT CanUnloadKorvex() {
    auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"Korvex.dll"), "DllCanUnloadNow")));
    return canUnloadNow ? canUnloadNow() : E_NOINTERFACE;
}

LRESULT CALLBACK WatchTheWindowGo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY)
        unloadWhileWindowGoes = CanUnloadKorvex();
    return CallWindowProcW(controlWindowProcedure, window, message, wParam, lParam);
}

TEST_F(Control, AnswersEveryInterfaceContainersUseButSimpleFrameSite) {
    const IID* offered[] = {&IID_IDispatch, &IID_IKorvex, &IID_ISupportErrorInfo,
                            &IID_IProvideClassInfo, &IID_IConnectionPointContainer, &IID_IOleObject,
                            &IID_IOleControl, &IID_IOleInPlaceObject, &IID_IOleInPlaceActiveObject,
                            &IID_IViewObject, &IID_IViewObject2, &IID_IDataObject,
                            &IID_IPersistStreamInit, &IID_IPersistStorage, &IID_IPersistPropertyBag,
                            // The bases the interfaces above share, asked for on their own.
                            &IID_IPersist, &IID_IOleWindow, &IID_IPerPropertyBrowsing,
                            &IID_ISpecifyPropertyPages, &IID_IQuickActivate, &IID_IObjectSafety};
    for (const IID* iid : offered) {
        TComPtr<IUnknown> itf = Query<IUnknown>(object.Get(), *iid);
        ASSERT_TRUE(itf);
        // Every interface leads back to the one object.
        EXPECT_EQ(object.Get(), Query<IUnknown>(itf.Get(), IID_IUnknown).Get());
    }
    void* out = this;
    EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(IID_ISimpleFrameSite, &out));
    EXPECT_EQ(nullptr, out);
}

TEST_F(Control, OleObjectAnswersStatusVerbsUserTypeAndExtent) {
    auto ole = As<IOleObject>(IID_IOleObject);
    DWORD status = 0;
    EXPECT_EQ(S_OK, ole->GetMiscStatus(DVASPECT_CONTENT, &status));
    EXPECT_EQ(kMiscStatus, status);
    EXPECT_TRUE(status & OLEMISC_INVISIBLEATRUNTIME);
    EXPECT_EQ(DV_E_DVASPECT, ole->GetMiscStatus(DVASPECT_ICON, &status));

    TComPtr<IEnumOLEVERB> verbs;
    ASSERT_EQ(S_OK, ole->EnumVerbs(verbs.Put()));
    OLEVERB verb[2]{};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, verbs->Next(2, verb, &fetched));
    ASSERT_EQ(1u, fetched);
    EXPECT_EQ(0, verb[0].lVerb);
    EXPECT_STREQ(L"Properties", verb[0].lpszVerbName);
    EXPECT_EQ(0u, verb[0].fuFlags);
    EXPECT_EQ(2u, verb[0].grfAttribs);
    CoTaskMemFree(verb[0].lpszVerbName);

    LPOLESTR userType = nullptr;
    ASSERT_EQ(S_OK, ole->GetUserType(USERCLASSTYPE_FULL, &userType));
    wchar_t description[64]{};
    MultiByteToWideChar(CP_ACP, 0, expected::kKorvexDescription.c_str(), -1, description, 64);
    EXPECT_STREQ(description, userType);
    CoTaskMemFree(userType);

    // No sink yet: an empty list, never success without an enumerator.
    TComPtr<IEnumSTATDATA> advises;
    ASSERT_EQ(S_OK, ole->EnumAdvise(advises.Put()));
    ASSERT_TRUE(advises);
    STATDATA advise{};
    fetched = 9;
    EXPECT_EQ(S_FALSE, advises->Next(1, &advise, &fetched));
    EXPECT_EQ(0u, fetched);

    // 40 x 40 pixels at the screen's 96 pixels per inch.
    HDC screen = GetDC(nullptr);
    ASSERT_EQ(96, GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    SIZEL size{};
    EXPECT_EQ(DV_E_DVASPECT, ole->GetExtent(DVASPECT_ICON, &size));
    EXPECT_EQ(DV_E_DVASPECT, ole->SetExtent(DVASPECT_ICON, &size));
    EXPECT_EQ(1058, Extent(object.Get()).cx);
    EXPECT_EQ(1058, Extent(object.Get()).cy);
    size = {2540, 1270};
    EXPECT_EQ(S_OK, ole->SetExtent(DVASPECT_CONTENT, &size));
    SIZEL viewSize{};
    EXPECT_EQ(
        S_OK,
        As<IViewObject2>(IID_IViewObject2)->GetExtent(DVASPECT_CONTENT, -1, nullptr, &viewSize));
    EXPECT_EQ(2540, viewSize.cx);
    EXPECT_EQ(1270, viewSize.cy);
}

TEST_F(Control, DoVerbShowsNoPagesHidesAndRefusesUnknownVerbs) {
    auto ole = As<IOleObject>(IID_IOleObject);
    const std::pair<LONG, HRESULT> verbs[] = {{0, S_OK},
                                              {OLEIVERB_PROPERTIES, S_OK},
                                              {OLEIVERB_HIDE, S_OK},
                                              {OLEIVERB_OPEN, OLEOBJ_S_INVALIDVERB},
                                              {1, OLEOBJ_S_INVALIDVERB},
                                              // No site to activate in.
                                              {OLEIVERB_UIACTIVATE, E_UNEXPECTED},
                                              {OLEIVERB_INPLACEACTIVATE, E_UNEXPECTED}};
    for (const auto& [verb, result] : verbs)
        EXPECT_EQ(result, ole->DoVerb(verb, nullptr, nullptr, 0, nullptr, nullptr)) << verb;
}

// A property bag of VARIANTs by name.
class PropertyBag : public IPropertyBag {
public:
    ~PropertyBag() {
        for (auto& entry : values)
            VariantClear(&entry.second);
    }
    void Put(const wchar_t* name, VARIANT value) { values[name] = value; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        auto found = values.find(name);
        if (found == values.end())
            return E_INVALIDARG;
        return VariantCopy(value, &found->second);
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
        VARIANT copy;
        VariantInit(&copy);
        VariantCopy(&copy, value);
        VariantClear(&values[name]);
        values[name] = copy;
        return S_OK;
    }

    std::map<std::wstring, VARIANT> values;
};

VARIANT Long(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

TEST_F(Control, PropertyBagLoadsWhatItHoldsAndSavesAllFourProperties) {
    auto korvex = As<IKorvex>(IID_IKorvex);
    korvex->put_PortNumber(3);
    korvex->put_ReleStatus(0x21);
    korvex->put_Timeout(250);
    korvex->put_ToggleTime(700);
    auto persist = As<IPersistPropertyBag>(IID_IPersistPropertyBag);
    EXPECT_EQ(E_POINTER, persist->Load(nullptr, nullptr));

    PropertyBag onlyPort;
    onlyPort.Put(L"PortNumber", Long(7));
    EXPECT_EQ(S_OK, persist->Load(&onlyPort, nullptr));
    // A value the property refuses is skipped, a text is converted.
    PropertyBag refusedAndText;
    refusedAndText.Put(L"ReleStatus", Long(300));
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"500");
    refusedAndText.Put(L"Timeout", text);
    EXPECT_EQ(S_OK, persist->Load(&refusedAndText, nullptr));

    PropertyBag saved;
    EXPECT_EQ(S_OK, persist->Save(&saved, TRUE, TRUE));
    const std::map<std::wstring, LONG> expectedValues = {
        {L"PortNumber", 7}, {L"ReleStatus", 0x21}, {L"Timeout", 500}, {L"ToggleTime", 700}};
    ASSERT_EQ(expectedValues.size(), saved.values.size());
    for (const auto& [name, value] : expectedValues) {
        EXPECT_EQ(VT_I4, saved.values[name].vt);
        EXPECT_EQ(value, saved.values[name].lVal);
    }
}

TEST_F(Control, StreamAndStorageLoadBackTheWindowStateAndTrackChanges) {
    auto stream = As<IPersistStreamInit>(IID_IPersistStreamInit);
    EXPECT_EQ(S_OK, stream->InitNew());
    EXPECT_EQ(S_FALSE, stream->IsDirty());
    SetPixelSize(object.Get(), 43, 41);
    EXPECT_EQ(S_OK, stream->IsDirty());
    ULARGE_INTEGER sizeMax{};
    EXPECT_EQ(E_NOTIMPL, stream->GetSizeMax(&sizeMax));

    TComPtr<IStream> memory;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, memory.Put()));
    EXPECT_EQ(S_OK, stream->Save(memory.Get(), FALSE));
    EXPECT_EQ(S_OK, stream->IsDirty());
    EXPECT_EQ(S_OK, stream->Save(memory.Get(), TRUE));
    EXPECT_EQ(S_FALSE, stream->IsDirty());
    TComPtr<IUnknown> loaded = NewObject();
    memory->Seek({}, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(S_OK,
              Query<IPersistStreamInit>(loaded.Get(), IID_IPersistStreamInit)->Load(memory.Get()));
    EXPECT_EQ(Himetric(43), Extent(loaded.Get()).cx);
    EXPECT_EQ(Himetric(41), Extent(loaded.Get()).cy);

    // A stream this did not write is refused and changes nothing.
    TComPtr<IStream> garbage;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, garbage.Put()));
    garbage->Write("garbage of a foreign control", 28, nullptr);
    garbage->Seek({}, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(stream->Load(garbage.Get())));
    EXPECT_EQ(Himetric(43), Extent(object.Get()).cx);

    TComPtr<IStorage> storage;
    ASSERT_EQ(S_OK, StgCreateDocfile(nullptr,
                                     STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE |
                                         STGM_DELETEONRELEASE,
                                     0, storage.Put()));
    auto persistStorage = As<IPersistStorage>(IID_IPersistStorage);
    SetPixelSize(object.Get(), 50, 60);
    EXPECT_EQ(S_OK, persistStorage->Save(storage.Get(), TRUE));
    TComPtr<IStream> inside;
    EXPECT_EQ(S_OK, storage->OpenStream(L"CONTROLSAVESTREAM", nullptr,
                                        STGM_SHARE_EXCLUSIVE | STGM_READ, 0, inside.Put()));
    inside.Reset();
    EXPECT_EQ(S_OK, persistStorage->IsDirty());
    EXPECT_EQ(S_OK, persistStorage->SaveCompleted(nullptr));
    EXPECT_EQ(S_FALSE, persistStorage->IsDirty());
    TComPtr<IUnknown> fromStorage = NewObject();
    EXPECT_EQ(S_OK,
              Query<IPersistStorage>(fromStorage.Get(), IID_IPersistStorage)->Load(storage.Get()));
    EXPECT_EQ(Himetric(50), Extent(fromStorage.Get()).cx);
    EXPECT_EQ(Himetric(60), Extent(fromStorage.Get()).cy);
}

// Distinct system colours for the bevel and the fill while a test runs.
class SystemColours {
public:
    SystemColours() {
        for (int i = 0; i < 3; ++i)
            saved_[i] = GetSysColor(kIndexes[i]);
        SetSysColors(3, kIndexes, kColours);
    }
    ~SystemColours() { SetSysColors(3, kIndexes, saved_); }

    static constexpr int kIndexes[3] = {COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW, COLOR_WINDOW};
    static constexpr COLORREF kColours[3] = {RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90)};

private:
    COLORREF saved_[3];
};

TEST_F(Control, DrawPaintsTheBevelTheFillAndThePictureCentred) {
    SystemColours colours;
    const COLORREF highlight = SystemColours::kColours[0], shadow = SystemColours::kColours[1],
                   window = SystemColours::kColours[2], untouched = RGB(1, 2, 3);
    const COLORREF lime = RGB(0, 255, 0), red = RGB(255, 0, 0), grey = RGB(128, 128, 128),
                   black = RGB(0, 0, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, 64, -64, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, target);
    auto view = As<IViewObject2>(IID_IViewObject2);
    auto clear = [&] {
        RECT all{0, 0, 64, 64};
        HBRUSH fill = CreateSolidBrush(untouched);
        FillRect(dc, &all, fill);
        DeleteObject(fill);
    };

    const struct {
        LONG size;
        int picture;
    } cases[] = {{40, 12}, {41, 12}, {43, 14}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        SetPixelSize(object.Get(), c.size, c.size);
        clear();
        // Bounds in logical units under a shifted viewport: the control lands at (5, 7).
        SetViewportOrgEx(dc, 1, 2, nullptr);
        RECTL bounds{4, 5, 4 + c.size, 5 + c.size};
        ASSERT_EQ(S_OK, view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds,
                                   nullptr, nullptr, 0));
        POINT viewport{};
        GetViewportOrgEx(dc, &viewport);
        EXPECT_EQ(1, viewport.x); // restored
        SetViewportOrgEx(dc, 0, 0, nullptr);

        const int x0 = 5, y0 = 7, w = c.size, h = c.size;
        const int px = x0 + c.picture, py = y0 + c.picture;
        const struct {
            int x, y;
            COLORREF colour;
        } pixels[] = {{x0, y0, highlight},
                      {x0 + 1, y0, highlight},
                      {x0, y0 + 1, highlight},
                      {x0 + w - 1, y0, shadow},
                      {x0 + w - 1, y0 + h - 1, shadow},
                      {x0, y0 + h - 1, shadow},
                      {x0 + 1, y0 + 1, window},
                      {x0 + w - 2, y0 + h - 2, window},
                      {x0 - 1, y0, untouched},
                      {x0 + w, y0, untouched},
                      {px + 3, py + 8, lime},
                      {px + 4, py + 9, lime},
                      {px + 9, py + 8, red},
                      {px + 2, py + 8, grey},
                      {px + 3, py + 7, grey},
                      {px + 1, py + 8, black},
                      {px, py + 8, window}, // the picture's silver shows the fill
                      {px, py + 15, window},
                      {px - 1, py + 8, window}};
        for (const auto& p : pixels)
            EXPECT_EQ(p.colour, GetPixel(dc, p.x, p.y)) << p.x << "," << p.y;
    }
    // Under 18 x 18 the picture starts at the control's corner and is cut at its edges.
    SetPixelSize(object.Get(), 12, 12);
    clear();
    RECTL small{5, 7, 17, 19};
    ASSERT_EQ(S_OK, view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &small, nullptr,
                               nullptr, 0));
    EXPECT_EQ(lime, GetPixel(dc, 5 + 3, 7 + 8));
    EXPECT_EQ(highlight, GetPixel(dc, 5, 7));
    EXPECT_EQ(untouched, GetPixel(dc, 5 + 13, 7 + 8));

    RECTL bounds{0, 0, 40, 40};
    EXPECT_EQ(DV_E_DVASPECT, view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc, &bounds,
                                        nullptr, nullptr, 0));
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
}

// A property change sink that counts nothing: it only has to be connectable.
class NotifySink : public IPropertyNotifySink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyNotifySink) ? this
                                                                                         : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
};

// An administrator's choice of safety for scripting: the DWORD SafeForScripting = 1 under
// HKEY_LOCAL_MACHINE\SOFTWARE\Korvex in this architecture's view, taken back when it goes.
class ScriptingChoice {
public:
    ScriptingChoice() {
        HKEY existing = nullptr;
        keyWasThere_ =
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &existing) == ERROR_SUCCESS;
        if (existing)
            RegCloseKey(existing);
        DWORD one = 1;
        EXPECT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"SafeForScripting",
                                                 REG_DWORD, &one, sizeof one));
    }
    ~ScriptingChoice() {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"SafeForScripting");
        if (!keyWasThere_)
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
    }
    ScriptingChoice(const ScriptingChoice&) = delete;
    ScriptingChoice& operator=(const ScriptingChoice&) = delete;

private:
    static constexpr const wchar_t* kKey = L"SOFTWARE\\Korvex";
    bool keyWasThere_ = false;
};

TEST_F(Control, ConnectionPointSafetyClassInfoAndPages) {
    auto container = As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    TComPtr<IConnectionPoint> point;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IDispatch, point.Put()));
    ASSERT_EQ(S_OK, container->FindConnectionPoint(IID_IPropertyNotifySink, point.Put()));
    IID iid{};
    EXPECT_EQ(S_OK, point->GetConnectionInterface(&iid));
    EXPECT_TRUE(IsEqualIID(IID_IPropertyNotifySink, iid));
    NotifySink sink;
    DWORD cookie = 0;
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, point->Advise(object.Get(), &cookie));
    EXPECT_EQ(S_OK, point->Advise(&sink, &cookie));
    EXPECT_EQ(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie));
    TComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(S_OK, container->EnumConnectionPoints(points.Put()));
    IConnectionPoint* listed[2]{};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, points->Next(2, listed, &fetched));
    ASSERT_EQ(1u, fetched);
    EXPECT_EQ(point.Get(), listed[0]);
    listed[0]->Release();

    // Safety for untrusted callers and data: claimed by no object unless an administrator
    // chose it, and then by the objects created after the choice.
    constexpr DWORD kBoth = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    for (bool chosen : {false, true}) {
        SCOPED_TRACE(chosen ? "SafeForScripting 1" : "no choice");
        std::unique_ptr<ScriptingChoice> choice;
        if (chosen)
            choice = std::make_unique<ScriptingChoice>();
        TComPtr<IUnknown> created = NewObject();
        auto safety = Query<IObjectSafety>(created.Get(), IID_IObjectSafety);
        DWORD supported = 9, enabled = 9;
        EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IKorvex, &supported, &enabled));
        EXPECT_EQ(chosen ? kBoth : 0u, supported);
        EXPECT_EQ(0u, enabled);
        EXPECT_EQ(chosen ? S_OK : E_FAIL,
                  safety->SetInterfaceSafetyOptions(IID_IDispatch, 3,
                                                    INTERFACESAFE_FOR_UNTRUSTED_CALLER));
        EXPECT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, 0, 0));
        EXPECT_EQ(E_FAIL, safety->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4));
        EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IOleObject, &supported, &enabled));
        EXPECT_EQ(chosen ? 1u : 0u, enabled);
        EXPECT_EQ(E_NOINTERFACE,
                  safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled));
        EXPECT_EQ(0u, supported);
        EXPECT_EQ(0u, enabled);
        // The fixture's object was created before any choice and keeps claiming nothing.
        EXPECT_EQ(S_OK, As<IObjectSafety>(IID_IObjectSafety)
                            ->GetInterfaceSafetyOptions(IID_IKorvex, &supported, &enabled));
        EXPECT_EQ(0u, supported);
    }

    TComPtr<ITypeInfo> classInfo;
    ASSERT_EQ(S_OK, As<IProvideClassInfo>(IID_IProvideClassInfo)->GetClassInfo(classInfo.Put()));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, classInfo->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
    EXPECT_TRUE(IsEqualCLSID(CLSID_Korvex, attributes->guid));
    classInfo->ReleaseTypeAttr(attributes);

    CAUUID pages{5, reinterpret_cast<GUID*>(this)};
    EXPECT_EQ(S_OK, As<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages)->GetPages(&pages));
    EXPECT_EQ(0u, pages.cElems);
    EXPECT_EQ(nullptr, pages.pElems);
    auto errorInfo = As<ISupportErrorInfo>(IID_ISupportErrorInfo);
    EXPECT_EQ(S_OK, errorInfo->InterfaceSupportsErrorInfo(IID_IKorvex));
    EXPECT_EQ(S_FALSE, errorInfo->InterfaceSupportsErrorInfo(IID_IOleObject));
}

TEST_F(Control, TheLibraryCannotBeUnloadedBeforeTheObjectIsGoneWithItsWindow) {
    HWND window = nullptr;
    auto inPlace = As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    ASSERT_TRUE(inPlace);
    ASSERT_EQ(S_OK, inPlace->GetWindow(&window));
    inPlace.Reset();
    controlWindowProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchTheWindowGo)));
    ASSERT_NE(nullptr, controlWindowProcedure);
    object.Reset();
    EXPECT_EQ(S_FALSE, unloadWhileWindowGoes);
    EXPECT_EQ(S_OK, CanUnloadKorvex());
}

TEST_F(Control, TheWindowIsParkedUntilAForeignContainerActivatesItInPlace) {
    HWND parked = nullptr;
    ASSERT_EQ(S_OK, As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&parked));
    wchar_t className[32]{};
    GetClassNameW(parked, className, 32);
    EXPECT_STREQ(L"TAxCtrl", className);
    EXPECT_EQ(DWORD(CS_DBLCLKS), GetClassLongW(parked, GCL_STYLE));
    EXPECT_EQ(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)),
              reinterpret_cast<HCURSOR>(GetClassLongPtrW(parked, GCLP_HCURSOR)));
    EXPECT_EQ(0, GetClassLongPtrW(parked, GCLP_HBRBACKGROUND));
    EXPECT_EQ(DWORD(WS_CHILD | WS_CLIPSIBLINGS),
              GetWindowLongW(parked, GWL_STYLE) & ~DWORD(WS_VISIBLE));
    EXPECT_FALSE(IsWindowVisible(GetParent(parked)));

    // Wine's ATL host creates "Addin.Korvex" by its ProgID and activates it in place.
    const AtlHost& atl = AtlHost::Instance();
    ASSERT_TRUE(atl.Ready());
    HWND host = atl.Create(L"Addin.Korvex", WS_POPUP | WS_VISIBLE, 120, 90);
    ASSERT_NE(nullptr, host);
    TComPtr<IUnknown> hosted;
    ASSERT_EQ(S_OK, atl.Control(host, hosted.Put()));
    EXPECT_TRUE(Query<IKorvex>(hosted.Get(), IID_IKorvex));
    HWND window = FindWindowExW(host, nullptr, L"TAxCtrl", nullptr);
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(IsWindowVisible(window));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(120, client.right);
    EXPECT_EQ(90, client.bottom);

    // A move repaints all of the control, not only what it newly exposes.
    SetWindowPos(window, nullptr, 0, 0, 60, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(window);
    ValidateRect(window, nullptr);
    SetWindowPos(window, nullptr, 3, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT update{};
    EXPECT_TRUE(GetUpdateRect(window, &update, FALSE));
    EXPECT_EQ(0, update.left);
    EXPECT_EQ(0, update.top);
    EXPECT_EQ(60, update.right);
    EXPECT_EQ(40, update.bottom);

    hosted.Reset();
    DestroyWindow(host);
}

} // namespace
