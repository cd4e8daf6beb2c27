// Small owners for what the programs of the tree take from the system: COM references,
// automation strings and values, the thread's apartment, registry keys and GDI objects. Every
// early return and every raised error gives back what was taken.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <new>
#include <string>
#include <utility>

// One reference to a COM interface.
template <class T> class TComPtr {
public:
    TComPtr() = default;
    // Takes over a reference the caller already holds.
    explicit TComPtr(T* p) : p_(p) {}
    // A reference of its own to an interface the caller only lends.
    static TComPtr Borrow(T* p) {
        if (p)
            p->AddRef();
        return TComPtr(p);
    }
    TComPtr(const TComPtr& other) : p_(other.p_) {
        if (p_)
            p_->AddRef();
    }
    TComPtr(TComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    TComPtr& operator=(TComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~TComPtr() { Reset(); }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // The address to receive a new reference; the old one is released first.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(p_, nullptr); }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }

private:
    T* p_ = nullptr;
};

// What a holder that owns one resource cannot be: copied.
class TNoCopy {
protected:
    TNoCopy() = default;
    ~TNoCopy() = default;

public:
    TNoCopy(const TNoCopy&) = delete;
    TNoCopy& operator=(const TNoCopy&) = delete;
};

// One handle of type H, given back by Free when its holder goes or is Reset, or before Put
// receives another. It moves between holders (a move assignment swaps the two) and is never
// copied.
template <class H, void (*Free)(H)> class THandle {
public:
    explicit THandle(H h = nullptr) : h_(h) {}
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    THandle(THandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    THandle& operator=(THandle&& other) noexcept {
        std::swap(h_, other.h_);
        return *this;
    }
    ~THandle() { Reset(); }

    H Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    // The address to receive a new handle; the old one is given back first.
    H* Put() {
        Reset();
        return &h_;
    }
    // Hands the handle to the caller.
    H Detach() { return std::exchange(h_, nullptr); }
    void Reset() {
        if (H h = std::exchange(h_, nullptr))
            Free(h);
    }

private:
    H h_;
};

inline void FreeBstr(BSTR b) {
    SysFreeString(b);
}
inline void CloseRegKey(HKEY key) {
    RegCloseKey(key);
}
template <class H> void DeleteGdiObject(H h) {
    DeleteObject(h);
}
inline void DeleteDc(HDC dc) {
    DeleteDC(dc);
}
inline void CloseKernelObject(HANDLE h) {
    CloseHandle(h);
}
inline void FreeLoadedLibrary(HMODULE module) {
    FreeLibrary(module);
}

// The text of an automation string; a null one is empty.
inline std::wstring BstrText(BSTR b) {
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

// One automation string.
class TBstr : public THandle<BSTR, FreeBstr> {
public:
    using THandle::THandle;

    // A copy of text; an empty one gives a null string. Raises std::bad_alloc when the string
    // cannot be allocated.
    static TBstr FromWide(const std::wstring& text) {
        if (text.empty())
            return TBstr();
        BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!b)
            throw std::bad_alloc();
        return TBstr(b);
    }

    std::wstring Text() const { return BstrText(Get()); }
};

// One open registry key.
using TRegKey = THandle<HKEY, CloseRegKey>;

// One kernel object whose handle is null when there is none (a waitable timer, an event); not
// for files, whose failed open gives INVALID_HANDLE_VALUE.
using TKernelObject = THandle<HANDLE, CloseKernelObject>;

// One library loaded by LoadLibrary.
using TModule = THandle<HMODULE, FreeLoadedLibrary>;

// The function name exported by module, as the type F; null when either is missing.
template <class F> F ProcAddress(HMODULE module, const char* name) {
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

// One GDI object (a font, a brush, a pen, a bitmap, a palette).
template <class H> using TGdiObject = THandle<H, DeleteGdiObject<H>>;

// A memory device context compatible with dc (the screen's for null).
class TMemoryDc : public THandle<HDC, DeleteDc> {
public:
    explicit TMemoryDc(HDC dc) : THandle(CreateCompatibleDC(dc)) {}
};

// One automation value, cleared when it goes.
class TVariant : TNoCopy {
public:
    TVariant() { VariantInit(&v_); }
    ~TVariant() { VariantClear(&v_); }

    VARIANT* Get() { return &v_; }
    const VARIANT& Value() const { return v_; }

private:
    VARIANT v_;
};

// The calling thread in a COM apartment for as long as the holder lives; single-threaded
// unless told otherwise.
class TComApartment : TNoCopy {
public:
    explicit TComApartment(DWORD model = COINIT_APARTMENTTHREADED)
        : result_(CoInitializeEx(nullptr, model)) {}
    ~TComApartment() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }

    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

// A GDI object selected into a device context for one scope; the one it replaced goes back.
class TGdiSelection : TNoCopy {
public:
    TGdiSelection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~TGdiSelection() { SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};
