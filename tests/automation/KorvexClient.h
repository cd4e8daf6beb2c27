// Two ways into one IKorvex object, as clients reach it: early-bound through the vtable, and
// late-bound through IDispatch with names resolved by GetIDsOfNames. Both record a test failure
// when a call leaves exception information behind.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "Savolin_TLB.h"
#include "WinHolders.h"

// A text as the client reads it: absent (a null BSTR) or cp1251 bytes.
struct ClientText {
    bool isNull = true;
    std::string bytes;
};

class KorvexClient {
public:
    virtual ~KorvexClient() = default;
    virtual HRESULT Call(const std::wstring& method, LONG* value) = 0;
    virtual HRESULT Get(const std::wstring& property, LONG* value) = 0;
    virtual HRESULT GetText(const std::wstring& property, ClientText* text) = 0;
    virtual HRESULT Put(const std::wstring& property, LONG value) = 0;

    // The value of a number property; a failed call is a test failure.
    LONG Number(const std::wstring& property);
    // The bytes of a text property (none for a null string).
    std::string Text(const std::wstring& property);
    // Calls a method; returns its Value.
    LONG Run(const std::wstring& method);
};

// The members by name, as vtable slots: methods and number getters share one shape.
using LongSlot = HRESULT (STDMETHODCALLTYPE IKorvex::*)(LONG*);
using TextSlot = HRESULT (STDMETHODCALLTYPE IKorvex::*)(BSTR*);
using PutSlot = HRESULT (STDMETHODCALLTYPE IKorvex::*)(LONG);
extern const std::map<std::wstring, LongSlot> kLongSlots;
extern const std::map<std::wstring, TextSlot> kTextSlots;
extern const std::map<std::wstring, PutSlot> kPutSlots;

enum class ClientPath { Vtable, Dispatch };

std::unique_ptr<KorvexClient> MakeClient(ClientPath path, IKorvex* object);

// An ASCII name for messages.
inline std::string Narrow(const std::wstring& name) {
    return std::string(name.begin(), name.end());
}

// A new control object, created as the factory creates it; a test failure when that fails.
TComPtr<IKorvex> NewKorvex();
