// The boundary of a COM method or an export: an exception that crossed it would end the caller's
// process, so whatever a body raises becomes an HRESULT here.
#pragma once

#include <windows.h>

#include <new>

// body's HRESULT; E_OUTOFMEMORY when the memory ran out, E_UNEXPECTED for any other exception.
template <class Body> HRESULT AxGuard(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}
