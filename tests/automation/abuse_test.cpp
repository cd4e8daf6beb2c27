// Bad input from clients: every put with the values on and beyond each range, a port number no
// machine has, and IDispatch called the wrong way, as careless scripts and hosts call it. Every
// call ends in a defined result or one of the platform's dispatch errors; nothing crashes and
// the object still works afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <vector>

#include "ExpectedTexts.h"
#include "KorvexClient.h"

namespace {

using namespace expected;

const LONG kValues[] = {0, -1, 255, 256, 65535, 65536, INT_MIN, INT_MAX};

struct Range {
    const wchar_t* property;
    LONG low, high;
};
const Range kRanges[] = {{L"PortNumber", 0, INT_MAX},
                         {L"ReleStatus", 0, 255},
                         {L"Timeout", 0, INT_MAX},
                         {L"ToggleTime", 0, 65535}};

TEST(Abuse, EveryPutStoresItsRangeAndRefusesTheRestOnBothPaths) {
    for (ClientPath path : {ClientPath::Vtable, ClientPath::Dispatch}) {
        TComPtr<IKorvex> object = NewKorvex();
        auto client = MakeClient(path, object.Get());
        for (const Range& r : kRanges)
            for (LONG value : kValues) {
                SCOPED_TRACE(Narrow(r.property) + " " + std::to_string(value));
                LONG before = client->Number(r.property);
                EXPECT_EQ(0, client->Run(L"Disconnect"));
                EXPECT_EQ(S_OK, client->Put(r.property, value));
                bool stored = value >= r.low && value <= r.high;
                EXPECT_EQ(stored ? value : before, client->Number(r.property));
                EXPECT_EQ(stored ? 0 : -199, client->Number(L"ResultCode"));
            }
        // No machine has COM2147483647.
        EXPECT_EQ(S_OK, client->Put(L"PortNumber", INT_MAX));
        EXPECT_EQ(-2, client->Run(L"GetStatus"));
        EXPECT_EQ(kPortUnavailable, client->Text(L"ResultDescription"));
    }
}

// One IDispatch::Invoke as a script host would make it.
struct InvokeCase {
    const char* what;
    const wchar_t* member; // null: an unknown dispid
    WORD flags;
    std::vector<VARIANT> args; // in the caller's order
    bool namedPut;             // the put's value named DISPID_PROPERTYPUT
    HRESULT expected;
};

VARIANT Long(LONG value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT Text(const wchar_t* text) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
    return v;
}

VARIANT Real(double value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_R8;
    V_R8(&v) = value;
    return v;
}

TEST(Abuse, WrongInvokeCallsGetTheDispatchErrorsAndChangeNothing) {
    TComPtr<IKorvex> object = NewKorvex();
    ASSERT_EQ(S_OK, object->put_PortNumber(99));
    ASSERT_EQ(S_OK, object->put_ReleStatus(0x21));
    // clang-format off
    const std::vector<InvokeCase> cases = {
        {"put without a value",         L"ReleStatus", DISPATCH_PROPERTYPUT, {},                 false, DISP_E_PARAMNOTFOUND},
        {"put of two values",           L"ReleStatus", DISPATCH_PROPERTYPUT, {Long(1), Long(2)}, true,  DISP_E_BADPARAMCOUNT},
        {"put of a word",               L"ReleStatus", DISPATCH_PROPERTYPUT, {Text(L"abc")},     true,  DISP_E_TYPEMISMATCH},
        {"put of an unnamed value",     L"ReleStatus", DISPATCH_PROPERTYPUT, {Long(1)},          false, DISP_E_PARAMNOTFOUND},
        // A get with an argument indexes a collection, which a number is not.
        {"get with an argument",        L"ReleStatus", DISPATCH_PROPERTYGET, {Long(1)},          false, DISP_E_NOTACOLLECTION},
        {"put of a read-only property", L"ResultCode", DISPATCH_PROPERTYPUT, {Long(1)},          true,  DISP_E_MEMBERNOTFOUND},
        {"a method put",                L"GetStatus",  DISPATCH_PROPERTYPUT, {Long(1)},          true,  DISP_E_MEMBERNOTFOUND},
        {"a method with an argument",   L"GetStatus",  DISPATCH_METHOD,      {Long(1)},          false, DISP_E_BADPARAMCOUNT},
        {"an unknown dispid",           nullptr,       DISPATCH_METHOD,      {},                 false, DISP_E_MEMBERNOTFOUND},
    };
    // clang-format on
    for (auto c : cases) {
        SCOPED_TRACE(c.what);
        DISPID id = 999;
        if (c.member) {
            LPOLESTR name = const_cast<LPOLESTR>(c.member);
            ASSERT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
        }
        std::vector<VARIANT> args(c.args.rbegin(), c.args.rend());
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{args.data(), c.namedPut ? &named : nullptr,
                          static_cast<UINT>(args.size()), c.namedPut ? 1u : 0u};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        UINT argError = 0;
        EXPECT_EQ(c.expected, object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, c.flags, &params,
                                             &result, &exception, &argError));
        VariantClear(&result);
        for (VARIANT& v : c.args)
            VariantClear(&v);
    }
    LONG value = 0;
    EXPECT_EQ(S_OK, object->get_ReleStatus(&value));
    EXPECT_EQ(0x21, value);

    // Values of another type are converted the way automation converts them.
    auto client = MakeClient(ClientPath::Dispatch, object.Get());
    for (VARIANT v : {Text(L"12"), Real(3.7)}) {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&v, &named, 1, 1};
        LPOLESTR name = const_cast<LPOLESTR>(L"ReleStatus");
        DISPID id = 0;
        object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        EXPECT_EQ(S_OK, object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                       &params, nullptr, nullptr, nullptr));
        VariantClear(&v);
    }
    EXPECT_EQ(4, client->Number(L"ReleStatus"));

    // Null pointers where the caller must give something.
    LPOLESTR name = const_cast<LPOLESTR>(L"ReleStatus");
    DISPID id = 0;
    EXPECT_EQ(E_INVALIDARG, object->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                           nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, object->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(E_INVALIDARG,
              object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, nullptr));
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
    EXPECT_EQ(DISP_E_UNKNOWNNAME,
              object->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id));

    EXPECT_EQ(-2, client->Run(L"GetStatus"));
    EXPECT_EQ(kPortUnavailable, client->Text(L"ResultDescription"));
}

} // namespace
