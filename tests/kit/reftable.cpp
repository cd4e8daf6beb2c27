// Prints the member table of IKorvex as the reference docs/IKorvex.md shows it, read from the
// type library inside the given Korvex.dll: slot, dispid, member, kind, type and help string,
// one Markdown row a member, in UTF-8. The reference test compares it with the document.
//   reftable.exe KORVEX_DLL
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include "Savolin_TLB.h"

using Microsoft::WRL::ComPtr;

namespace {

std::string Utf8(const wchar_t* text, UINT length) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr,
                                   nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], size, nullptr,
                        nullptr);
    return out;
}

std::string Utf8(BSTR text) {
    return text ? Utf8(text, SysStringLen(text)) : std::string();
}

const char* KindOf(INVOKEKIND kind) {
    switch (kind) {
    case INVOKE_PROPERTYGET:
        return "get";
    case INVOKE_PROPERTYPUT:
        return "put";
    default:
        return "method";
    }
}

// The value's type: the [out, retval] pointer's target, or the put's [in] value.
const char* TypeOf(const FUNCDESC& func) {
    if (func.cParams < 1)
        return "?";
    const TYPEDESC* type = &func.lprgelemdescParam[0].tdesc;
    if (type->vt == VT_PTR)
        type = type->lptdesc;
    return type->vt == VT_BSTR ? "BSTR" : type->vt == VT_I4 ? "long" : "?";
}

// One row: | slot | dispid | member | kind | type | help string |
std::string Row(ITypeInfo* info, const FUNCDESC& func) {
    BSTR name = nullptr, help = nullptr;
    info->GetDocumentation(func.memid, &name, &help, nullptr, nullptr);
    std::string row = "| " + std::to_string(func.oVft / static_cast<int>(sizeof(void*))) + " | " +
                      std::to_string(func.memid) + " | `" + Utf8(name) + "` | " +
                      KindOf(func.invkind) + " | " + TypeOf(func) + " | " + Utf8(help) + " |\n";
    SysFreeString(name);
    SysFreeString(help);
    return row;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2)
        return 2;
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> info;
    if (FAILED(LoadTypeLibEx(argv[1], REGKIND_NONE, library.GetAddressOf())) ||
        FAILED(library->GetTypeInfoOfGuid(IID_IKorvex, info.GetAddressOf())))
        return 1;
    // The dual interface's vtable side holds the slots.
    HREFTYPE vtable = 0;
    ComPtr<ITypeInfo> dual;
    if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &vtable)) &&
        SUCCEEDED(info->GetRefTypeInfo(vtable, dual.GetAddressOf())))
        info = dual;
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes)))
        return 1;
    std::string table;
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(i, &func)))
            return 1;
        table += Row(info.Get(), *func);
        info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(attributes);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), table.data(), static_cast<DWORD>(table.size()),
              &written, nullptr);
    return 0;
}
