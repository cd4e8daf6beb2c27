// Prints what a built file says of its version, for the versions test:
//   verinfo.exe file PATH      the file version in its version resource, "1.2.0.5"
//   verinfo.exe manifest PATH  its application manifest (RT_MANIFEST 1) as it stands
//   verinfo.exe property PATH  the Version property of the control the library serves
// Prints nothing and exits 1 when the file has no such thing.
#include <windows.h>

#include <cstdio>
#include <string>

#include "Savolin_TLB.h"
#include "WinHolders.h"
#include "WinText.h"

namespace {

std::string FileVersion(const wchar_t* path) {
    DWORD ignored = 0;
    std::string data(GetFileVersionInfoSizeW(path, &ignored), '\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (data.empty() || !GetFileVersionInfoW(path, 0, static_cast<DWORD>(data.size()), &data[0]) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size) || !info)
        return "";
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionLS));
}

std::string Manifest(const wchar_t* path) {
    TModule module(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    HRSRC found =
        module ? FindResourceW(module.Get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) : nullptr;
    HGLOBAL data = found ? LoadResource(module.Get(), found) : nullptr;
    const char* bytes = data ? static_cast<const char*>(LockResource(data)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module.Get(), found)) : "";
}

std::string VersionProperty(const wchar_t* path) {
    TComApartment apartment;
    TModule module(LoadLibraryW(path));
    auto getClassObject = ProcAddress<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        module.Get(), "DllGetClassObject");
    TComPtr<IClassFactory> factory;
    TComPtr<IKorvex> korvex;
    TBstr version;
    if (!getClassObject ||
        FAILED(getClassObject(CLSID_Korvex, IID_IClassFactory, factory.PutVoid())) ||
        FAILED(factory->CreateInstance(nullptr, IID_IKorvex, korvex.PutVoid())) ||
        FAILED(korvex->get_Version(version.Put())))
        return "";
    return WideToCodePage(version.Text(), CP_UTF8);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3)
        return 2;
    const std::wstring what = argv[1];
    const std::string answer = what == L"file"       ? FileVersion(argv[2])
                               : what == L"manifest" ? Manifest(argv[2])
                               : what == L"property" ? VersionProperty(argv[2])
                                                     : "";
    std::fputs(answer.c_str(), stdout);
    return answer.empty() ? 1 : 0;
}
