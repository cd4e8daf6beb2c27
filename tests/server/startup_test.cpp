// Korvex.dll starts its server at the first export that needs it, not under the loader: threads
// that call first at once share one factory; a library whose type library cannot be loaded still
// loads and answers its exports with the loader's failure; loaded and unloaded again and again,
// it keeps no more of each load than any library of this build does.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "KorvexDll.h"
#include "ProcessUsage.h"
#include "Savolin_TLB.h"
#include "WinHolders.h"

namespace {

using TGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using TExport = HRESULT(STDAPICALLTYPE*)();
using TInstall = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);

// A copy of Korvex.dll (or of another library) under a name of its own, so that no load of the
// library by other tests of this process has started it: each load of the copy starts afresh.
class DllCopy {
public:
    explicit DllCopy(const std::wstring& name, const std::wstring& source = kDll) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = temp + name;
        EXPECT_TRUE(CopyFileW(source.c_str(), path_.c_str(), FALSE)) << GetLastError();
    }
    ~DllCopy() { DeleteFileW(path_.c_str()); }
    DllCopy(const DllCopy&) = delete;
    DllCopy& operator=(const DllCopy&) = delete;

    const std::wstring& Path() const { return path_; }
    bool Loaded() const { return GetModuleHandleW(path_.c_str()) != nullptr; }

private:
    std::wstring path_;
};

// One thread of a race: it says it is ready, waits for the start and asks for the factory.
struct Racer {
    TGetClassObject getClassObject;
    HANDLE ready, go;
    HRESULT result = E_PENDING;
    IClassFactory* factory = nullptr;
};

DWORD WINAPI Race(void* parameter) {
    Racer& racer = *static_cast<Racer*>(parameter);
    TComApartment apartment(COINIT_MULTITHREADED);
    ReleaseSemaphore(racer.ready, 1, nullptr);
    if (WaitForSingleObject(racer.go, 60000) == WAIT_OBJECT_0)
        racer.result = racer.getClassObject(CLSID_Korvex, IID_IClassFactory,
                                            reinterpret_cast<void**>(&racer.factory));
    return 0;
}

TEST(Startup, ThreadsThatCallFirstAtOnceGetTheOneFactory) {
    constexpr int kRounds = 10, kThreads = 8;
    DllCopy copy(L"KorvexRace.dll");
    for (int round = 0; round < kRounds && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_FALSE(copy.Loaded());
        TModule module(LoadLibraryW(copy.Path().c_str()));
        ASSERT_TRUE(module) << GetLastError();
        TKernelObject ready(CreateSemaphoreW(nullptr, 0, kThreads, nullptr));
        TKernelObject go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::vector<Racer> racers(
            kThreads, Racer{ProcAddress<TGetClassObject>(module.Get(), "DllGetClassObject"),
                            ready.Get(), go.Get()});
        std::vector<TKernelObject> threads;
        for (Racer& racer : racers)
            threads.emplace_back(CreateThread(nullptr, 0, &Race, &racer, 0, nullptr));
        for (int i = 0; i < kThreads; ++i)
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready.Get(), 60000));
        SetEvent(go.Get());
        for (const TKernelObject& thread : threads)
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 60000));

        for (const Racer& racer : racers) {
            EXPECT_EQ(S_OK, racer.result);
            EXPECT_EQ(racers[0].factory, racer.factory);
        }
        EXPECT_NE(nullptr, racers[0].factory);
        for (const Racer& racer : racers)
            if (racer.factory)
                racer.factory->Release();
        EXPECT_EQ(S_OK, ProcAddress<TExport>(module.Get(), "DllCanUnloadNow")());
    }
    EXPECT_FALSE(copy.Loaded());
}

TEST(Startup, WithATypeLibraryThatCannotBeLoadedTheLibraryLoadsAndEachExportAnswersTheFailure) {
    // The copy's type library resource holds what no loader reads as one.
    DllCopy copy(L"KorvexBadTypeLib.dll");
    HANDLE update = BeginUpdateResourceW(copy.Path().c_str(), FALSE);
    ASSERT_NE(nullptr, update);
    char garbage[] = "not a type library";
    ASSERT_TRUE(UpdateResourceW(update, L"TYPELIB", MAKEINTRESOURCEW(1),
                                MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), garbage,
                                sizeof garbage));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
    TComPtr<ITypeLib> none;
    const HRESULT loaderFailure = LoadTypeLibEx(copy.Path().c_str(), REGKIND_NONE, none.Put());
    ASSERT_TRUE(FAILED(loaderFailure));

    TModule module(LoadLibraryW(copy.Path().c_str()));
    ASSERT_TRUE(module) << GetLastError();
    HMODULE dll = module.Get();
    void* factory = &copy;
    const struct {
        const char* name;
        std::function<HRESULT()> call;
    } exports[] = {
        {"DllGetClassObject",
         [&] {
             return ProcAddress<TGetClassObject>(dll, "DllGetClassObject")(
                 CLSID_Korvex, IID_IClassFactory, &factory);
         }},
        {"DllRegisterServer", [&] { return ProcAddress<TExport>(dll, "DllRegisterServer")(); }},
        {"DllUnregisterServer", [&] { return ProcAddress<TExport>(dll, "DllUnregisterServer")(); }},
        {"DllInstall", [&] { return ProcAddress<TInstall>(dll, "DllInstall")(TRUE, L"user"); }},
    };
    for (const auto& e : exports)
        EXPECT_EQ(loaderFailure, e.call()) << e.name;
    EXPECT_EQ(nullptr, factory);
    EXPECT_EQ(S_OK, ProcAddress<TExport>(dll, "DllCanUnloadNow")());
}

// One load of the library: the factory, one control whose version is read, all given back, and
// the library unloaded.
void LoadUseAndUnload(const DllCopy& copy) {
    TModule module(LoadLibraryW(copy.Path().c_str()));
    ASSERT_TRUE(module) << GetLastError();
    TComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, ProcAddress<TGetClassObject>(module.Get(), "DllGetClassObject")(
                        CLSID_Korvex, IID_IClassFactory, factory.PutVoid()));
    TComPtr<IKorvex> korvex;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IKorvex, korvex.PutVoid()));
    TBstr version;
    EXPECT_EQ(S_OK, korvex->get_Version(version.Put()));
    korvex.Reset();
    factory.Reset();
    EXPECT_EQ(S_OK, ProcAddress<TExport>(module.Get(), "DllCanUnloadNow")());
}

// What the process keeps more after loads runs of once than before, the first few left out:
// handles and private bytes.
struct Growth {
    long long handles, privateBytes;
};
Growth GrowthOver(int loads, const std::function<void()>& once) {
    for (int i = 0; i < 5; ++i)
        once();
    const usage::Usage before = usage::Now();
    for (int i = 0; i < loads; ++i)
        once();
    const usage::Usage after = usage::Now();
    EXPECT_GT(before.handles, 0u);
    return {static_cast<long long>(after.handles) - before.handles,
            static_cast<long long>(after.privateBytes) -
                static_cast<long long>(before.privateBytes)};
}

TEST(Startup, LoadedAndUnloadedAgainAndAgainTheLibraryKeepsNoMoreThanAnyLibraryDoes) {
    constexpr int kLoads = 200;
    TComApartment apartment;
    DllCopy korvex(L"KorvexLoads.dll");
    DllCopy reference(L"KorvexLoadReference.dll", WindowsPath(L"" LOADREF_DLL));
    const Growth bare = GrowthOver(kLoads, [&] {
        TModule module(LoadLibraryW(reference.Path().c_str()));
        EXPECT_TRUE(module) << GetLastError();
    });
    const Growth used = GrowthOver(kLoads, [&] { LoadUseAndUnload(korvex); });
    std::printf("startup: %d loads; a library of this build keeps %lld handles and %lld private "
                "bytes, Korvex.dll in use %lld and %lld\n",
                kLoads, bare.handles, bare.privateBytes, used.handles, used.privateBytes);
    EXPECT_FALSE(korvex.Loaded());
    EXPECT_LE(used.handles, bare.handles + 2);
    // Wine's own share of a load that reads the type library and makes an object is a few
    // hundred bytes (less than Korvex.dll kept when it started under the loader).
    EXPECT_LE(used.privateBytes, bare.privateBytes + kLoads * 1024);
    // The platform keeps a type library while anyone holds it: loaded now, the one reference
    // is this one, so no load of the library kept its own.
    TComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadTypeLibEx(korvex.Path().c_str(), REGKIND_NONE, library.Put()));
    EXPECT_EQ(0u, library.Detach()->Release());
}

} // namespace
