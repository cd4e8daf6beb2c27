// Object lifetime: thousands of controls created by class id and released again, some with an
// open port, some with their window made and drawn, some hosted and activated in Wine's ATL host
// window. Afterwards the library may be unloaded, the system unloads it, and the process holds no
// more handles, GDI or USER objects than before.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "AtlHost.h"
#include "EnvNumber.h"
#include "KorvexDll.h"
#include "ProcessUsage.h"
#include "SimControl.h"
#include "Savolin_TLB.h"
#include "WinHolders.h"

namespace {

// Hosts one "Addin.Korvex", activated in place, and destroys it with its window. The host stays
// hidden: activation in place needs no visible window, and showing one costs Wine a round trip
// to the display each time.
bool HostOnce() {
    const AtlHost& atl = AtlHost::Instance();
    HWND host = atl.Create(L"Addin.Korvex", WS_POPUP, 48, 48);
    bool active = host && FindWindowExW(host, nullptr, L"TAxCtrl", nullptr);
    if (host)
        DestroyWindow(host);
    return active;
}

TComPtr<IKorvex> NewControl() {
    TComPtr<IKorvex> control;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_Korvex, nullptr, CLSCTX_INPROC_SERVER, IID_IKorvex,
                                     control.PutVoid()));
    return control;
}

// One life of one control, of the kind i picks.
void LiveOnce(unsigned long i) {
    if (i % 10 == 9) {
        EXPECT_TRUE(HostOnce());
        return;
    }
    TComPtr<IKorvex> control = NewControl();
    ASSERT_TRUE(control);
    if (i % 10 == 7) {
        LONG result = -1000;
        control->put_PortNumber(sim::SimControl::comPort());
        EXPECT_EQ(S_OK, control->Connect(&result));
        EXPECT_EQ(0, result);
    } else if (i % 10 == 8) {
        TComPtr<IOleInPlaceObject> inPlace;
        ASSERT_EQ(S_OK, control->QueryInterface(IID_IOleInPlaceObject, inPlace.PutVoid()));
        HWND window = nullptr;
        EXPECT_EQ(S_OK, inPlace->GetWindow(&window));
        UpdateWindow(window);
    }
}

TEST(Lifetime, ThousandsOfControlsComeAndGoAndTheLibraryUnloadsWithoutATrace) {
    const unsigned long lives = EnvNumber("KORVEX_LIFETIME_OBJECTS", 2000);
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_EQ(S_OK, RegisterKorvexDll());
    ASSERT_TRUE(AtlHost::Instance().Ready());
    // One life of each kind first, so what the system keeps once per process is counted in.
    for (unsigned long i = 0; i < 10; ++i)
        LiveOnce(i);
    CoFreeUnusedLibrariesEx(0, 0);
    usage::Usage before = usage::Now();

    for (unsigned long i = 0; i < lives && !HasFailure(); ++i)
        LiveOnce(i);

    HMODULE korvex = GetModuleHandleW(L"Korvex.dll");
    ASSERT_NE(nullptr, korvex);
    auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(korvex, "DllCanUnloadNow")));
    EXPECT_EQ(S_OK, canUnloadNow());
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(nullptr, GetModuleHandleW(L"Korvex.dll"));
    usage::Usage after = usage::Now();
    std::printf("lifetime: %lu controls; handles %lu -> %lu, GDI %lu -> %lu, USER %lu -> %lu, "
                "private bytes %zu -> %zu\n",
                lives, before.handles, after.handles, before.gdi, after.gdi, before.user,
                after.user, before.privateBytes, after.privateBytes);
    EXPECT_GT(before.handles, 0u);
    EXPECT_LE(after.handles, before.handles + 2);
    // Private bytes are printed, not bounded: Wine keeps about 350 bytes for every window a
    // process ever made, even a plain STATIC pop-up, so they grow with the windows made here.
    EXPECT_LE(after.gdi, before.gdi);
    EXPECT_LE(after.user, before.user);
    CoUninitialize();
}

} // namespace
