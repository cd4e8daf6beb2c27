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

// One automation string.
class TBstr {
public:
    TBstr() = default;
    explicit TBstr(BSTR b) : b_(b) {}
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    TBstr(TBstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
    TBstr& operator=(TBstr&& other) noexcept {
        std::swap(b_, other.b_);
        return *this;
    }
    ~TBstr() { SysFreeString(b_); }

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

    BSTR Get() const { return b_; }
    // The address to receive a new string; the old one is freed first.
    BSTR* Put() {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    BSTR Detach() { return std::exchange(b_, nullptr); }
    std::wstring Text() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
};

// One automation value, cleared when it goes.
class TVariant {
public:
    TVariant() { VariantInit(&v_); }
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;
    ~TVariant() { VariantClear(&v_); }

    VARIANT* Get() { return &v_; }
    const VARIANT& Value() const { return v_; }

private:
    VARIANT v_;
};

// The calling thread in a COM apartment for as long as the holder lives; single-threaded
// unless told otherwise.
class TComApartment {
public:
    explicit TComApartment(DWORD model = COINIT_APARTMENTTHREADED)
        : result_(CoInitializeEx(nullptr, model)) {}
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;
    ~TComApartment() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }

    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

// One open registry key.
class TRegKey {
public:
    TRegKey() = default;
    TRegKey(const TRegKey&) = delete;
    TRegKey& operator=(const TRegKey&) = delete;
    TRegKey(TRegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    TRegKey& operator=(TRegKey&& other) noexcept {
        std::swap(key_, other.key_);
        return *this;
    }
    ~TRegKey() { Close(); }

    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    // The address to receive a newly opened key; the old one is closed first.
    HKEY* Put() {
        Close();
        return &key_;
    }
    void Close() {
        if (HKEY key = std::exchange(key_, nullptr))
            RegCloseKey(key);
    }

private:
    HKEY key_ = nullptr;
};

// One GDI object (a font, a brush, a pen, a bitmap, a palette), deleted when it goes.
template <class H> class TGdiObject {
public:
    explicit TGdiObject(H h = nullptr) : h_(h) {}
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;
    TGdiObject(TGdiObject&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    TGdiObject& operator=(TGdiObject&& other) noexcept {
        std::swap(h_, other.h_);
        return *this;
    }
    ~TGdiObject() {
        if (h_)
            DeleteObject(h_);
    }

    H Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    H h_;
};

// A memory device context compatible with dc (the screen's for null), deleted when it goes.
class TMemoryDc {
public:
    explicit TMemoryDc(HDC dc) : dc_(CreateCompatibleDC(dc)) {}
    TMemoryDc(const TMemoryDc&) = delete;
    TMemoryDc& operator=(const TMemoryDc&) = delete;
    ~TMemoryDc() { DeleteDC(dc_); }

    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// A GDI object selected into a device context for one scope; the one it replaced goes back.
class TGdiSelection {
public:
    TGdiSelection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    TGdiSelection(const TGdiSelection&) = delete;
    TGdiSelection& operator=(const TGdiSelection&) = delete;
    ~TGdiSelection() { SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};
