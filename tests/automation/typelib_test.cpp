// The type library Savolin as the platform's loader reads it back, the object's IDispatch
// around it, null out-pointers and foreign faults refused with a fresh error object, and the
// version text.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "KorvexClient.h"
#include "AxServer.h"
#include "oleMain.h"
#include "untVInfo.h"

namespace {

enum Kind { kMethod, kGet, kPut };

struct Member {
    int slot;
    DISPID dispid;
    const wchar_t* name;
    Kind kind;
    VARTYPE type;
    const char* help; // cp1251
};

// The interface as integrators rely on it: slots, dispids, kinds, types and help strings.
const Member kMembers[] = {
    {7, 1, L"Connect", kMethod, VT_I4,
     "\xD3\xF1\xF2\xE0\xED\xEE\xE2\xE8\xF2\xFC\xD1\xE2\xFF\xE7\xFC"}, // УстановитьСвязь
    {8, 2, L"Disconnect", kMethod, VT_I4,
     "\xD0\xE0\xE7\xEE\xF0\xE2\xE0\xF2\xFC\xD1\xE2\xFF\xE7\xFC"}, // РазорватьСвязь
    {9, 3, L"GetDeviceMetrics", kMethod, VT_I4,
     "\xCF\xEE\xEB\xF3\xF7\xE8\xF2\xFC\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB\xD3\xF1\xF2\xF0\xEE\xE9"
     "\xF1\xF2\xE2\xE0"}, // ПолучитьПараметрыУстройства
    {10, 4, L"GetStatus", kMethod, VT_I4,
     "\xCF\xEE\xEB\xF3\xF7\xE8\xF2\xFC\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5"}, // ПолучитьСостояние
    {11, 5, L"SetDefaults", kMethod, VT_I4,
     "\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB\xCF\xEE\xD3\xEC\xEE\xEB\xF7\xE0\xED\xE8\xFE"}, // ПараметрыПоУмолчанию
    {12, 6, L"SetStatus", kMethod, VT_I4,
     "\xD3\xF1\xF2\xE0\xED\xEE\xE2\xE8\xF2\xFC\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5"}, // УстановитьСостояние
    {13, 7, L"ToggleStatus", kMethod, VT_I4,
     "\xCF\xE5\xF0\xE5\xEA\xEB\xFE\xF7\xE8\xF2\xFC\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5"}, // ПереключитьСостояние
    {14, 8, L"DeviceNumber", kGet, VT_I4,
     "\xCD\xEE\xEC\xE5\xF0\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0"}, // НомерУстройства
    {15, 9, L"DeviceSubType", kGet, VT_I4,
     "\xCF\xEE\xE4\xF2\xE8\xEF\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0"}, // ПодтипУстройства
    {16, 10, L"DeviceType", kGet, VT_I4,
     "\xD2\xE8\xEF\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0"},          // ТипУстройства
    {17, 11, L"Input", kGet, VT_BSTR, "\xCF\xF0\xE8\xED\xFF\xF2\xEE"}, // Принято
    {18, 12, L"Output", kGet, VT_BSTR, "\xCF\xE5\xF0\xE5\xE4\xE0\xED\xEE"}, // Передано
    {19, 13, L"PortNumber", kGet, VT_I4, "\xCD\xEE\xEC\xE5\xF0\xCF\xEE\xF0\xF2\xE0"}, // НомерПорта
    {20, 13, L"PortNumber", kPut, VT_I4, "\xCD\xEE\xEC\xE5\xF0\xCF\xEE\xF0\xF2\xE0"}, // НомерПорта
    {21, 14, L"ProtocolVersion", kGet, VT_I4,
     "\xC2\xE5\xF0\xF1\xE8\xFF\xCF\xF0\xEE\xF2\xEE\xEA\xEE\xEB\xE0"}, // ВерсияПротокола
    {22, 15, L"ReleStatus", kGet, VT_I4,
     "\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5\xD0\xE5\xEB\xE5"}, // СостояниеРеле
    {23, 15, L"ReleStatus", kPut, VT_I4,
     "\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5\xD0\xE5\xEB\xE5"}, // СостояниеРеле
    {24, 16, L"ResultCode", kGet, VT_I4, "\xD0\xE5\xE7\xF3\xEB\xFC\xF2\xE0\xF2"}, // Результат
    {25, 17, L"ResultDescription", kGet, VT_BSTR,
     "\xCE\xEF\xE8\xF1\xE0\xED\xE8\xE5\xD0\xE5\xE7\xF3\xEB\xFC\xF2\xE0\xF2\xE0"}, // ОписаниеРезультата
    {26, 18, L"SoftVersion", kGet, VT_I4,
     "\xC2\xE5\xF0\xF1\xE8\xFF\xCF\xF0\xEE\xF8\xE8\xE2\xEA\xE8"}, // ВерсияПрошивки
    {27, 19, L"Timeout", kGet, VT_I4, "\xD2\xE0\xE9\xEC\xE0\xF3\xF2"}, // Таймаут
    {28, 19, L"Timeout", kPut, VT_I4, "\xD2\xE0\xE9\xEC\xE0\xF3\xF2"}, // Таймаут
    {29, 20, L"ToggleTime", kGet, VT_I4,
     "\xC2\xF0\xE5\xEC\xFF\xCF\xE5\xF0\xE5\xEA\xEB\xFE\xF7\xE5\xED\xE8\xFF"}, // ВремяПереключения
    {30, 20, L"ToggleTime", kPut, VT_I4,
     "\xC2\xF0\xE5\xEC\xFF\xCF\xE5\xF0\xE5\xEA\xEB\xFE\xF7\xE5\xED\xE8\xFF"}, // ВремяПереключения
    {31, 21, L"Version", kGet, VT_BSTR,
     "\xC2\xE5\xF0\xF1\xE8\xFF\xC4\xF0\xE0\xE9\xE2\xE5\xF0\xE0"}, // ВерсияДрайвера
};

std::string BytesOf(const TBstr& text) {
    return expected::Cp1251(text.Text());
}

// Name and help string of a type (index -1) or a member, with its help context.
struct Documentation {
    std::string name;
    std::string help;
    DWORD context = 0xFFFFFFFF;
};
Documentation DocumentationOf(ITypeInfo* info, MEMBERID id) {
    TBstr name, help;
    Documentation doc;
    EXPECT_EQ(S_OK, info->GetDocumentation(id, name.Put(), help.Put(), &doc.context, nullptr));
    doc.name = BytesOf(name);
    doc.help = BytesOf(help);
    return doc;
}

class TypeLibrary : public ::testing::Test {
protected:
    ITypeLib* Library() { return TAxServer::Instance().TypeLib(); }

    // The interface half of the dual interface: the one with the vtable.
    TComPtr<ITypeInfo> VtableInfo() {
        TComPtr<ITypeInfo> dispatch = TAxServer::Instance().TypeInfoOf(IID_IKorvex);
        HREFTYPE ref = 0;
        EXPECT_EQ(S_OK, dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref));
        TComPtr<ITypeInfo> vtable;
        EXPECT_EQ(S_OK, dispatch->GetRefTypeInfo(ref, vtable.Put()));
        return vtable;
    }
};

TEST_F(TypeLibrary, LibraryAttributes) {
    ASSERT_NE(nullptr, Library());
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, Library()->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(LIBID_Savolin, attr->guid));
    EXPECT_EQ(0x0409u, attr->lcid);
    EXPECT_EQ(sizeof(void*) == 4 ? SYS_WIN32 : SYS_WIN64, attr->syskind);
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    // The loader adds LIBFLAG_FHASDISKIMAGE for a library it read from a file.
    EXPECT_EQ(LIBFLAG_FCONTROL, attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE);
    Library()->ReleaseTLibAttr(attr);

    TBstr name, help, helpFile;
    DWORD context = 1;
    ASSERT_EQ(S_OK,
              Library()->GetDocumentation(-1, name.Put(), help.Put(), &context, helpFile.Put()));
    EXPECT_EQ("Savolin", BytesOf(name));
    EXPECT_EQ(expected::kKorvexDescription, BytesOf(help));
    EXPECT_EQ(0u, context);
    EXPECT_EQ(nullptr, helpFile.Get());
    EXPECT_EQ(2u, Library()->GetTypeInfoCount());
}

TEST_F(TypeLibrary, InterfaceIsADualOfTwentyFiveMembersInSlotsSevenToThirtyOne) {
    TComPtr<ITypeInfo> dispatch = TAxServer::Instance().TypeInfoOf(IID_IKorvex);
    ASSERT_TRUE(dispatch);
    Documentation doc = DocumentationOf(dispatch.Get(), MEMBERID_NIL);
    EXPECT_EQ("IKorvex", doc.name);
    EXPECT_EQ(expected::kKorvexDescription, doc.help);

    TComPtr<ITypeInfo> vtable = VtableInfo();
    ASSERT_TRUE(vtable);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, vtable->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_INTERFACE, attr->typekind);
    EXPECT_EQ(0x1140, attr->wTypeFlags);
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(25, attr->cFuncs);
    EXPECT_EQ(32 * sizeof(void*), attr->cbSizeVft);
    vtable->ReleaseTypeAttr(attr);

    const INVOKEKIND kinds[] = {INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT};
    for (UINT i = 0; i < 25; ++i) {
        const Member& m = kMembers[i];
        SCOPED_TRACE(Narrow(m.name) + (m.kind == kPut ? " put" : ""));
        FUNCDESC* f = nullptr;
        ASSERT_EQ(S_OK, vtable->GetFuncDesc(i, &f));
        EXPECT_EQ(m.dispid, f->memid);
        EXPECT_EQ(kinds[m.kind], f->invkind);
        EXPECT_EQ(FUNC_PUREVIRTUAL, f->funckind);
        EXPECT_EQ(CC_STDCALL, f->callconv);
        EXPECT_EQ(0, f->wFuncFlags);
        EXPECT_EQ(static_cast<int>(m.slot * sizeof(void*)), f->oVft);
        EXPECT_EQ(VT_HRESULT, f->elemdescFunc.tdesc.vt);
        ASSERT_EQ(1, f->cParams);
        const ELEMDESC& param = f->lprgelemdescParam[0];
        if (m.kind == kPut) {
            EXPECT_EQ(PARAMFLAG_FIN, param.paramdesc.wParamFlags);
            EXPECT_EQ(VT_I4, param.tdesc.vt);
        } else {
            EXPECT_EQ(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, param.paramdesc.wParamFlags);
            ASSERT_EQ(VT_PTR, param.tdesc.vt);
            EXPECT_EQ(m.type, param.tdesc.lptdesc->vt);
        }
        vtable->ReleaseFuncDesc(f);

        // Names: the member and "Value". A put shares its dispid with its get, so GetNames
        // shows the get's.
        BSTR names[2] = {};
        UINT count = 0;
        EXPECT_EQ(S_OK, vtable->GetNames(m.dispid, names, 2, &count));
        TBstr memberName(names[0]), valueName(names[1]);
        EXPECT_EQ(Narrow(m.name), BytesOf(memberName));
        EXPECT_EQ(2u, count);
        EXPECT_EQ("Value", BytesOf(valueName));

        Documentation member = DocumentationOf(vtable.Get(), m.dispid);
        EXPECT_EQ(m.help, member.help);
        EXPECT_EQ(0u, member.context);
    }
}

TEST_F(TypeLibrary, CoclassIsACreatableControlWithIKorvexAsDefault) {
    TComPtr<ITypeInfo> coclass = TAxServer::Instance().TypeInfoOf(CLSID_Korvex);
    ASSERT_TRUE(coclass);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_COCLASS, attr->typekind);
    EXPECT_EQ(TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL, attr->wTypeFlags);
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(1, attr->cImplTypes);
    coclass->ReleaseTypeAttr(attr);

    Documentation doc = DocumentationOf(coclass.Get(), MEMBERID_NIL);
    EXPECT_EQ("Korvex", doc.name);
    EXPECT_EQ(expected::kKorvexDescription, doc.help);

    INT flags = 0;
    ASSERT_EQ(S_OK, coclass->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(0, &ref));
    TComPtr<ITypeInfo> implemented;
    ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(ref, implemented.Put()));
    TYPEATTR* implAttr = nullptr;
    ASSERT_EQ(S_OK, implemented->GetTypeAttr(&implAttr));
    EXPECT_TRUE(IsEqualGUID(IID_IKorvex, implAttr->guid));
    implemented->ReleaseTypeAttr(implAttr);
}

// --- The object around its type information ------------------------------------------------

TEST(KorvexDispatch, NamesResolveToTheInterfaceDispidsAndStrayCallsAreRefused) {
    TComPtr<IKorvex> object = NewKorvex();
    for (const Member& m : kMembers) {
        LPOLESTR name = const_cast<LPOLESTR>(m.name);
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
        EXPECT_EQ(m.dispid, id) << Narrow(m.name);
    }
    UINT count = 0;
    EXPECT_EQ(S_OK, object->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    TComPtr<ITypeInfo> info;
    EXPECT_EQ(DISP_E_BADINDEX, object->GetTypeInfo(1, LOCALE_USER_DEFAULT, info.Put()));
    EXPECT_EQ(nullptr, info.Get());
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
              object->Invoke(1, IID_IKorvex, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result,
                             nullptr, nullptr));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              object->Invoke(99, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result,
                             nullptr, nullptr));
}

// Puts an error object on the thread, as an earlier call of some other object might have left.
void LeaveStaleErrorInfo() {
    TComPtr<ICreateErrorInfo> created;
    ASSERT_EQ(S_OK, CreateErrorInfo(created.Put()));
    created->SetDescription(const_cast<LPOLESTR>(L"stale"));
    TComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, created->QueryInterface(IID_IErrorInfo, info.PutVoid()));
    ASSERT_EQ(S_OK, SetErrorInfo(0, info.Get()));
}

// After a failure HRESULT the thread's error object is a fresh one of IKorvex's: the interface,
// the ProgID and the system's text for the failure, not what was there before.
void ExpectFreshErrorInfo(HRESULT failure, const std::string& member) {
    SCOPED_TRACE(member);
    TComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, GetErrorInfo(0, info.Put()));
    GUID guid{};
    TBstr source, description;
    EXPECT_EQ(S_OK, info->GetGUID(&guid));
    EXPECT_TRUE(IsEqualGUID(IID_IKorvex, guid));
    EXPECT_EQ(S_OK, info->GetSource(source.Put()));
    EXPECT_EQ(L"Addin.Korvex", source.Text());
    EXPECT_EQ(S_OK, info->GetDescription(description.Put()));
    wchar_t text[512]{};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(failure), 0, text, 512, nullptr);
    std::wstring expected = text;
    while (!expected.empty() && (expected.back() == L'\r' || expected.back() == L'\n'))
        expected.pop_back();
    // Wine's message table has no text for E_POINTER and E_UNEXPECTED; the code stands in.
    if (expected.empty()) {
        swprintf(text, 512, L"0x%08lX", static_cast<unsigned long>(failure));
        expected = text;
    }
    EXPECT_EQ(expected, description.Text());
}

TEST(KorvexDispatch, NullValuePointersAreRefusedBeforeAnythingRunsWithAFreshErrorObject) {
    TComPtr<IKorvex> object = NewKorvex();
    TSavolin& savolin = *static_cast<TSavolin*>(object.Get());
    // A port that cannot be opened: a method that ran would record -2 there.
    ASSERT_EQ(S_OK, object->put_PortNumber(99));
    ASSERT_EQ(S_OK, object->put_ReleStatus(-1)); // records the range failure

    for (const auto& [name, slot] : kLongSlots) {
        LeaveStaleErrorInfo();
        EXPECT_EQ(E_POINTER, (object.Get()->*slot)(nullptr)) << Narrow(name);
        ExpectFreshErrorInfo(E_POINTER, Narrow(name));
    }
    for (const auto& [name, slot] : kTextSlots) {
        LeaveStaleErrorInfo();
        EXPECT_EQ(E_POINTER, (object.Get()->*slot)(nullptr)) << Narrow(name);
        ExpectFreshErrorInfo(E_POINTER, Narrow(name));
    }

    EXPECT_EQ(-199, savolin.Driver->ResultCode);
    EXPECT_EQ("Range check error", savolin.Driver->ResultDescription);
    EXPECT_EQ(99, savolin.Driver->GetPortNumber());
    EXPECT_FALSE(savolin.Driver->Comm->IsOpen());
}

// A port whose every exchange meets a fault that is none of the driver's own failures.
class ForeignFaultComm : public TComm {
public:
    void Purge() override { throw std::logic_error("not one of the driver's failures"); }
};

TEST(KorvexDispatch, AFaultNotOfTheDriversKindGivesEUnexpectedAFreshErrorObjectAndNoRecord) {
    TComPtr<IKorvex> object = NewKorvex();
    TSavolin& savolin = *static_cast<TSavolin*>(object.Get());
    savolin.Driver->Comm = std::make_unique<ForeignFaultComm>();
    ASSERT_EQ(S_OK, object->put_ReleStatus(-1)); // records the range failure
    const std::pair<const char*, LongSlot> exchanges[] = {
        {"GetStatus", &IKorvex::GetStatus},
        {"SetStatus", &IKorvex::SetStatus},
        {"GetDeviceMetrics", &IKorvex::GetDeviceMetrics}};
    for (const auto& [name, slot] : exchanges) {
        LeaveStaleErrorInfo();
        LONG value = 0x7EADBEEF;
        EXPECT_EQ(E_UNEXPECTED, (object.Get()->*slot)(&value)) << name;
        EXPECT_EQ(0x7EADBEEF, value) << name;
        ExpectFreshErrorInfo(E_UNEXPECTED, name);
    }
    EXPECT_EQ(-199, savolin.Driver->ResultCode);
    EXPECT_EQ("Range check error", savolin.Driver->ResultDescription);
}

// --- Pictures -------------------------------------------------------------------------------

TEST(Resources, ToolboxPictureAndIconsAreRussian16ColourImages) {
    HMODULE module = GetModuleHandleW(nullptr);
    const WORD russian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
    EXPECT_NE(nullptr, FindResourceExW(module, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(1), russian));
    EXPECT_NE(nullptr, FindResourceExW(module, MAKEINTRESOURCEW(14), L"MAINICON", russian));
    EXPECT_NE(nullptr, FindResourceExW(module, MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(1), russian));

    HBITMAP picture = static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(nullptr, picture);
    DIBSECTION dib{};
    ASSERT_EQ(static_cast<int>(sizeof dib), GetObjectW(picture, sizeof dib, &dib));
    EXPECT_EQ(16, dib.dsBm.bmWidth);
    EXPECT_EQ(16, dib.dsBm.bmHeight);
    EXPECT_EQ(4, dib.dsBm.bmBitsPixel);
    // The lower-left pixel is silver, the transparent colour; the lamps are green and red.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, picture);
    EXPECT_EQ(RGB(192, 192, 192), GetPixel(dc, 0, 15));
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(dc, 3, 8));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc, 9, 8));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(picture);

    const std::pair<const wchar_t*, int> icons[] = {{L"MAINICON", 32}, {MAKEINTRESOURCEW(1), 16}};
    for (auto [name, size] : icons) {
        HICON icon = static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, 0, 0, 0));
        ASSERT_NE(nullptr, icon);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP mask{};
        GetObjectW(info.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(size, mask.bmWidth);
        DeleteObject(info.hbmMask);
        DeleteObject(info.hbmColor);
        DestroyIcon(icon);
    }
}

// --- Version text ---------------------------------------------------------------------------

TEST(VersionText, ReadsTheModulesFileVersionOrZerosWithoutOne) {
    EXPECT_EQ("1.2.0.5", FileVersionText(ReadFileVersion()));
    TFileVersion v = ReadFileVersion();
    EXPECT_EQ(1, v.MajorVersion);
    EXPECT_EQ(2, v.MinorVersion);
    EXPECT_EQ(0, v.ReleaseNumber);
    EXPECT_EQ(5, v.BuildNumber);

    HMODULE bare = LoadLibraryA("noversion.dll");
    ASSERT_NE(nullptr, bare) << GetLastError();
    EXPECT_EQ("0.0.0.0", FileVersionText(ReadFileVersion(bare)));
    FreeLibrary(bare);
    EXPECT_EQ("65535.0.65535.1", FileVersionText({65535, 0, 65535, 1}));
}

TEST(VersionText, KorvexDllLoadsAndCarriesVersion1205) {
    HMODULE dll = LoadLibraryA(KORVEX_DLL);
    ASSERT_NE(nullptr, dll) << GetLastError();
    EXPECT_EQ("1.2.0.5", FileVersionText(ReadFileVersion(dll)));
    FreeLibrary(dll);
}

} // namespace
