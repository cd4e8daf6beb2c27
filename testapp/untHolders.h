// Small owners for what the test program takes from the system: COM references, automation
// values, the thread's apartment and GDI objects. Every early return and every
// raised error gives back what was taken.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <utility>

// One reference to a COM interface.
template <class T> class TComPtr {
public:
    TComPtr() = default;
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    TComPtr(TComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    TComPtr& operator=(TComPtr&& other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~TComPtr() { Reset(); }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // The address to receive a new reference; the old one is released first.
    void** PutVoid() {
        Reset();
        return reinterpret_cast<void**>(&p_);
    }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }

private:
    T* p_ = nullptr;
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

// The calling thread as a single-threaded COM apartment, for as long as the holder lives.
class TComApartment {
public:
    TComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
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

// One GDI object (a font or a brush), deleted when it goes.
template <class H> class TGdiObject {
public:
    explicit TGdiObject(H h = nullptr) : h_(h) {}
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;
    ~TGdiObject() {
        if (h_)
            DeleteObject(h_);
    }

    H Get() const { return h_; }

private:
    H h_;
};
