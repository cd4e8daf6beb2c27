// Wine's ATL host window class "AtlAxWin100": a real foreign container that creates a control
// by its ProgID and activates it in place. Loaded and initialised once for the process; the OLE
// initialisation AtlAxWinInit makes on the calling thread is undone at once, so the caller's own
// apartment is the only one.
#pragma once

#include <windows.h>

#include <unknwn.h>

class AtlHost {
public:
    // Call with the thread's apartment initialised.
    static AtlHost& Instance() {
        static AtlHost host;
        return host;
    }
    bool Ready() const { return ready_; }

    HWND Create(const wchar_t* progId, DWORD style, int width, int height) const {
        return CreateWindowExW(0, L"AtlAxWin100", progId, style, 10, 10, width, height, nullptr,
                               nullptr, nullptr, nullptr);
    }
    HRESULT Control(HWND host, IUnknown** control) const { return getControl_(host, control); }

private:
    AtlHost() : atl_(LoadLibraryW(L"atl100.dll")) {
        auto init = reinterpret_cast<BOOL(WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(atl_, "AtlAxWinInit")));
        getControl_ = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
            reinterpret_cast<void*>(GetProcAddress(atl_, "AtlAxGetControl")));
        ready_ = init && getControl_ && init();
        if (ready_)
            OleUninitialize();
    }

    HMODULE atl_;
    HRESULT(WINAPI* getControl_)(HWND, IUnknown**) = nullptr;
    bool ready_ = false;
};
