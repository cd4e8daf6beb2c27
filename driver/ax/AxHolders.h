// Small owners for COM resources, so every early return gives back what it took.
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
    BSTR* Put() {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    BSTR Detach() { return std::exchange(b_, nullptr); }
    std::wstring Text() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
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
