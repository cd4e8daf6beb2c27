// Korvex.dll as the platform's component system sees it: registration by Wine's regsvr32 read
// back from the registry, creation by class id and by ProgID, the exports' error paths, the
// class factory's rules and when the library may be unloaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "KorvexDll.h"
#include "SimControl.h"
#include "Savolin_TLB.h"
#include "WinHolders.h"

namespace {

const std::wstring kClassKey = L"CLSID\\{5641586A-5D36-4A53-A61C-B7CAD4BB3740}";
const std::wstring kProgId = L"Addin.Korvex";
const std::wstring kLibraryId = L"{129374D0-383D-4DE5-BAEC-AC498C672B1E}";
const std::wstring kNeutralLibraryKey =
    L"TypeLib\\" + kLibraryId + L"\\1.0\\0\\" + (sizeof(void*) == 4 ? L"win32" : L"win64");

// A value under root as cp1251 bytes (the ANSI view); "<missing>" when absent.
std::string ValueOf(const std::wstring& key, const char* name = nullptr,
                    HKEY root = HKEY_CLASSES_ROOT) {
    std::string narrowKey(key.begin(), key.end());
    char data[1024];
    DWORD type = 0, size = sizeof data;
    if (RegGetValueA(root, narrowKey.c_str(), name, RRF_RT_ANY, &type, data, &size) !=
        ERROR_SUCCESS)
        return "<missing>";
    if (type != REG_SZ)
        return "<type " + std::to_string(type) + ">";
    return std::string(data, size ? size - 1 : 0);
}

bool KeyExists(const std::wstring& key, HKEY root = HKEY_CLASSES_ROOT) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// Every key and value below key, one line each, for comparing two states.
void Dump(HKEY parent, const std::wstring& key, std::wstring& out) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(parent, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return;
    out += L"[" + key + L"]\n";
    wchar_t name[256];
    BYTE data[1024];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256, size = sizeof data, type = 0;
        if (RegEnumValueW(handle, i, name, &nameLength, nullptr, &type, data, &size) !=
            ERROR_SUCCESS)
            break;
        out += std::wstring(name) + L"=" +
               std::wstring(reinterpret_cast<wchar_t*>(data), size / sizeof(wchar_t)) + L"\n";
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(handle, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(handle);
    for (const auto& sub : subkeys)
        Dump(parent, key + L"\\" + sub, out);
}

std::wstring RegistrationState(HKEY root = HKEY_CLASSES_ROOT) {
    std::wstring out;
    Dump(root, kClassKey, out);
    Dump(root, kProgId, out);
    Dump(root, L"TypeLib\\" + kLibraryId, out);
    Dump(root, L"Interface\\{66F559C9-6626-4ACF-8597-E9BADC257653}", out);
    return out;
}

std::wstring ShortPathOf(const std::wstring& path) {
    wchar_t shortPath[MAX_PATH];
    DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    return std::wstring(shortPath, length);
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// The registry entries of the control with the module at path.
std::map<std::pair<std::wstring, std::string>, std::string>
ExpectedEntries(const std::wstring& serverPath, const std::wstring& path) {
    const std::wstring& k = kClassKey;
    return {
        {{k, ""}, expected::kKorvexDescription},
        {{k + L"\\InprocServer32", ""}, Narrow(serverPath)},
        {{k + L"\\InprocServer32", "ThreadingModel"}, "Apartment"},
        {{kProgId, ""}, expected::kKorvexDescription},
        {{kProgId + L"\\Clsid", ""}, "{5641586A-5D36-4A53-A61C-B7CAD4BB3740}"},
        {{k + L"\\ProgID", ""}, "Addin.Korvex"},
        {{k + L"\\Version", ""}, "1.0"},
        {{k + L"\\TypeLib", ""}, Narrow(kLibraryId)},
        {{k + L"\\MiscStatus", ""}, "0"},
        {{k + L"\\MiscStatus\\1", ""}, "132497"},
        {{k + L"\\ToolboxBitmap32", ""}, Narrow(path) + ",1"},
        {{k + L"\\Control", ""}, ""},
        {{k + L"\\Verb", ""}, ""},
        {{k + L"\\Verb\\0", ""}, "Properties,0,2"},
        // The library's path under language 0, where the marshaller of other apartments looks.
        {{kNeutralLibraryKey, ""}, Narrow(path)},
    };
}

const std::vector<std::wstring> kAllKeys = {kClassKey + L"\\Verb\\0",
                                            kClassKey + L"\\Verb",
                                            kClassKey + L"\\Control",
                                            kClassKey + L"\\ToolboxBitmap32",
                                            kClassKey + L"\\MiscStatus\\1",
                                            kClassKey + L"\\MiscStatus",
                                            kClassKey + L"\\TypeLib",
                                            kClassKey + L"\\Version",
                                            kClassKey + L"\\ProgID",
                                            kProgId + L"\\Clsid",
                                            kProgId,
                                            kClassKey + L"\\InprocServer32",
                                            kClassKey};

void ExpectEntries(const std::wstring& serverPath, const std::wstring& path,
                   HKEY root = HKEY_CLASSES_ROOT) {
    for (const auto& [where, data] : ExpectedEntries(serverPath, path))
        EXPECT_EQ(data,
                  ValueOf(where.first, where.second.empty() ? nullptr : where.second.c_str(), root))
            << Narrow(where.first) << " " << where.second;
}

// Whether the other architecture's Korvex.dll registers the class in its registry view (the
// suite of the other architecture leaves it so). The ProgID's keys are shared by both views.
bool OtherArchitectureRegistered() {
    const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    TRegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (kClassKey + L"\\InprocServer32").c_str(), 0,
                      KEY_READ | otherView, key.Put()) != ERROR_SUCCESS)
        return false;
    wchar_t server[MAX_PATH] = L"";
    DWORD size = sizeof server - sizeof(wchar_t);
    const bool found = RegGetValueW(key.Get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, server,
                                    &size) == ERROR_SUCCESS;
    return found && lstrcmpiW(server, kDll.c_str()) != 0;
}

bool IsProgIdKey(const std::wstring& key) {
    return key.rfind(kProgId, 0) == 0;
}

void ExpectNoKeyLeft(HKEY root = HKEY_CLASSES_ROOT) {
    const bool progIdShared = root == HKEY_CLASSES_ROOT && OtherArchitectureRegistered();
    for (const auto& key : kAllKeys)
        EXPECT_EQ(progIdShared && IsProgIdKey(key), KeyExists(key, root)) << Narrow(key);
    // The library's key is shared by both architectures; this one's own part must be gone.
    EXPECT_FALSE(KeyExists(kNeutralLibraryKey, root));
}

// --- Registration ---------------------------------------------------------------------------

TEST(Registration, Regsvr32WritesEveryEntryAndTwiceEqualsOnce) {
    ASSERT_EQ(0u, RunRegsvr32(L"/u", kDll));
    ASSERT_EQ(0u, RunRegsvr32(L"", kDll));
    ExpectEntries(kDll, kDll);
    // The system's own entries for the type library.
    EXPECT_EQ(expected::kKorvexDescription, ValueOf(L"TypeLib\\" + kLibraryId + L"\\1.0"));
    std::wstring once = RegistrationState();
    ASSERT_EQ(0u, RunRegsvr32(L"", kDll));
    EXPECT_TRUE(once == RegistrationState());
}

TEST(Registration, UnregisteringRemovesEveryKeyButOneGivenSubkeysByAnother) {
    ASSERT_EQ(0u, RunRegsvr32(L"", kDll));
    ASSERT_EQ(0u, RunRegsvr32(L"/u", kDll));
    ExpectNoKeyLeft();
    // Never registered: still S_OK.
    EXPECT_EQ(0u, RunRegsvr32(L"/u", kDll));

    ASSERT_EQ(0u, RunRegsvr32(L"", kDll));
    HKEY foreign = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, (kClassKey + L"\\Foreign").c_str(),
                                             0, nullptr, 0, KEY_WRITE, nullptr, &foreign, nullptr));
    RegCloseKey(foreign);
    ASSERT_EQ(0u, RunRegsvr32(L"/u", kDll));
    EXPECT_TRUE(KeyExists(kClassKey + L"\\Foreign"));
    EXPECT_EQ(expected::kKorvexDescription, ValueOf(kClassKey));
    const bool progIdShared = OtherArchitectureRegistered();
    for (size_t i = 0; i + 1 < kAllKeys.size(); ++i)
        EXPECT_EQ(progIdShared && IsProgIdKey(kAllKeys[i]), KeyExists(kAllKeys[i]))
            << Narrow(kAllKeys[i]);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (kClassKey + L"\\Foreign").c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, kClassKey.c_str());
}

TEST(Registration, AModulePathWithASpaceIsWrittenShortForTheServerAndLongForTheBitmap) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"Korvex with space";
    std::wstring copy = folder + L"\\Korvex.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(kDll.c_str(), copy.c_str(), FALSE)) << GetLastError();
    std::wstring shortPath = ShortPathOf(copy);
    EXPECT_EQ(std::wstring::npos, shortPath.find(L' '));

    ASSERT_EQ(0u, RunRegsvr32(L"", copy));
    ExpectEntries(shortPath, copy);
    EXPECT_EQ(0u, RunRegsvr32(L"/u", copy));
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(Registration, PerUserRegistrationWritesTheSameEntriesForTheUserAndNothingForTheMachine) {
    ASSERT_EQ(0u, RunRegsvr32(L"/u", kDll));
    const std::wstring machine = RegistrationState();
    TRegKey userKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0,
                                             KEY_READ, nullptr, userKey.Put(), nullptr));
    const HKEY user = userKey.Get();

    ASSERT_EQ(0u, RunRegsvr32(L"/n /i:user", kDll));
    ExpectEntries(kDll, kDll, user);
    EXPECT_EQ(expected::kKorvexDescription,
              ValueOf(L"TypeLib\\" + kLibraryId + L"\\1.0", nullptr, user));
    EXPECT_EQ("{00020424-0000-0000-C000-000000000046}",
              ValueOf(L"Interface\\{66F559C9-6626-4ACF-8597-E9BADC257653}\\ProxyStubClsid32",
                      nullptr, user));
    EXPECT_TRUE(machine == RegistrationState());

    ASSERT_EQ(0u, RunRegsvr32(L"/u /n /i:user", kDll));
    EXPECT_EQ(L"", RegistrationState(user));
    EXPECT_TRUE(machine == RegistrationState());
    ASSERT_EQ(0u, RunRegsvr32(L"", kDll));
}

// --- Creation through the component system ---------------------------------------------------

// A registered Korvex.dll and the apartment of this thread.
class Server : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0u, RunRegsvr32(L"", kDll)); }

    void SetUp() override {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        module = LoadLibraryW(kDll.c_str());
        ASSERT_NE(nullptr, module);
        getClassObject = reinterpret_cast<decltype(getClassObject)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
        ASSERT_NE(nullptr, getClassObject);
        ASSERT_NE(nullptr, canUnloadNow);
    }
    void TearDown() override {
        FreeLibrary(module);
        CoUninitialize();
    }

    TComPtr<IClassFactory> Factory() {
        TComPtr<IClassFactory> factory;
        EXPECT_EQ(S_OK, getClassObject(CLSID_Korvex, IID_IClassFactory, factory.PutVoid()));
        return factory;
    }

    HMODULE module = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
};

TEST_F(Server, ClientsCreateTheControlByClassIdAndByProgIdAndDriveTheBoard) {
    sim::SimControl board;
    board.reset();
    board.setStatus(0x42);
    CLSID fromProgId{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(kProgId.c_str(), &fromProgId));
    EXPECT_TRUE(IsEqualCLSID(CLSID_Korvex, fromProgId));

    for (const CLSID& id : {CLSID_Korvex, fromProgId}) {
        TComPtr<IKorvex> korvex;
        ASSERT_EQ(S_OK, CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IKorvex,
                                         korvex.PutVoid()));
        LONG value = -1000;
        EXPECT_EQ(S_OK, korvex->put_PortNumber(sim::SimControl::comPort()));
        EXPECT_EQ(S_OK, korvex->GetStatus(&value));
        EXPECT_EQ(0, value);
        EXPECT_EQ(S_OK, korvex->get_ReleStatus(&value));
        EXPECT_EQ(0x42, value);
    }
}

TEST_F(Server, DllGetClassObjectServesOnlyTheControlsFactory) {
    void* out = this;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IKorvex, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    out = this;
    EXPECT_EQ(E_NOINTERFACE, getClassObject(CLSID_Korvex, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    TComPtr<IUnknown> unknown;
    EXPECT_EQ(S_OK, getClassObject(CLSID_Korvex, IID_IUnknown, unknown.PutVoid()));
    EXPECT_TRUE(unknown);
}

// An aggregating object: answers only IUnknown itself and counts its references.
class Outer : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        if (inner)
            return inner->QueryInterface(iid, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    ULONG refs = 1;
    TComPtr<IUnknown> inner;
};

TEST_F(Server, CreateInstanceRefusesWhatItCannotServeAndAggregatesForIUnknown) {
    TComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IKorvex, nullptr));
    void* out = this;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);

    Outer outer;
    out = this;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IKorvex, &out));
    EXPECT_EQ(nullptr, out);
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, outer.inner.PutVoid()));
    // The inner object's interfaces count their references on the outer one.
    TComPtr<IKorvex> korvex;
    ASSERT_EQ(S_OK, outer.QueryInterface(IID_IKorvex, korvex.PutVoid()));
    EXPECT_EQ(2u, outer.refs);
    TComPtr<IUnknown> identity;
    EXPECT_EQ(S_OK, korvex->QueryInterface(IID_IUnknown, identity.PutVoid()));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity.Get());
    identity.Reset();
    korvex.Reset();
    EXPECT_EQ(1u, outer.refs);
    outer.inner.Reset();
    factory.Reset();
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(Server, DllCanUnloadNowWaitsForLocksObjectsAndFactoryReferences) {
    EXPECT_EQ(S_OK, canUnloadNow());
    TComPtr<IClassFactory> factory = Factory();
    EXPECT_EQ(S_FALSE, canUnloadNow());
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    TComPtr<IKorvex> korvex;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IKorvex, korvex.PutVoid()));
    factory.Reset();
    EXPECT_EQ(S_FALSE, canUnloadNow()); // a lock and an object
    korvex.Reset();
    EXPECT_EQ(S_FALSE, canUnloadNow()); // the lock alone
    factory = Factory();
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_OK, canUnloadNow());

    // An unlock without a lock counts nothing down: the next object still holds the library.
    factory = Factory();
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IKorvex, korvex.PutVoid()));
    factory.Reset();
    EXPECT_EQ(S_FALSE, canUnloadNow());
    korvex.Reset();
    EXPECT_EQ(S_OK, canUnloadNow());
}

} // namespace
