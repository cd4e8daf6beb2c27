#include "KorvexClient.h"

#include <gtest/gtest.h>

#include "ExpectedTexts.h"
#include "oleMain.h"

const std::map<std::wstring, LongSlot> kLongSlots = {
    {L"Connect", &IKorvex::Connect},
    {L"Disconnect", &IKorvex::Disconnect},
    {L"GetDeviceMetrics", &IKorvex::GetDeviceMetrics},
    {L"GetStatus", &IKorvex::GetStatus},
    {L"SetDefaults", &IKorvex::SetDefaults},
    {L"SetStatus", &IKorvex::SetStatus},
    {L"ToggleStatus", &IKorvex::ToggleStatus},
    {L"DeviceNumber", &IKorvex::get_DeviceNumber},
    {L"DeviceSubType", &IKorvex::get_DeviceSubType},
    {L"DeviceType", &IKorvex::get_DeviceType},
    {L"PortNumber", &IKorvex::get_PortNumber},
    {L"ProtocolVersion", &IKorvex::get_ProtocolVersion},
    {L"ReleStatus", &IKorvex::get_ReleStatus},
    {L"ResultCode", &IKorvex::get_ResultCode},
    {L"SoftVersion", &IKorvex::get_SoftVersion},
    {L"Timeout", &IKorvex::get_Timeout},
    {L"ToggleTime", &IKorvex::get_ToggleTime},
};
const std::map<std::wstring, TextSlot> kTextSlots = {
    {L"Input", &IKorvex::get_Input},
    {L"Output", &IKorvex::get_Output},
    {L"ResultDescription", &IKorvex::get_ResultDescription},
    {L"Version", &IKorvex::get_Version},
};
const std::map<std::wstring, PutSlot> kPutSlots = {
    {L"PortNumber", &IKorvex::put_PortNumber},
    {L"ReleStatus", &IKorvex::put_ReleStatus},
    {L"Timeout", &IKorvex::put_Timeout},
    {L"ToggleTime", &IKorvex::put_ToggleTime},
};

namespace {

// No member may leave error information for the thread.
void ExpectNoErrorInfo(const std::wstring& member) {
    TComPtr<IErrorInfo> info;
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, info.Put())) << "error information after " << Narrow(member);
}

ClientText TextOf(BSTR b) {
    ClientText text;
    text.isNull = b == nullptr;
    if (b)
        text.bytes = expected::Cp1251(BstrText(b));
    return text;
}

class VtableClient : public KorvexClient {
public:
    explicit VtableClient(IKorvex* object) : object_(object) {}

    HRESULT Call(const std::wstring& method, LONG* value) override { return Get(method, value); }
    HRESULT Get(const std::wstring& name, LONG* value) override {
        HRESULT hr = (object_->*kLongSlots.at(name))(value);
        ExpectNoErrorInfo(name);
        return hr;
    }
    HRESULT GetText(const std::wstring& name, ClientText* text) override {
        TBstr b;
        HRESULT hr = (object_->*kTextSlots.at(name))(b.Put());
        ExpectNoErrorInfo(name);
        *text = TextOf(b.Get());
        return hr;
    }
    HRESULT Put(const std::wstring& name, LONG value) override {
        HRESULT hr = (object_->*kPutSlots.at(name))(value);
        ExpectNoErrorInfo(name);
        return hr;
    }

private:
    IKorvex* object_;
};

class DispatchClient : public KorvexClient {
public:
    explicit DispatchClient(IKorvex* object) : object_(object) {}

    HRESULT Call(const std::wstring& name, LONG* value) override {
        return InvokeLong(name, DISPATCH_METHOD, value);
    }
    HRESULT Get(const std::wstring& name, LONG* value) override {
        return InvokeLong(name, DISPATCH_PROPERTYGET, value);
    }
    HRESULT GetText(const std::wstring& name, ClientText* text) override {
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none{};
        HRESULT hr = Invoke(name, DISPATCH_PROPERTYGET, &none, &result);
        EXPECT_EQ(VT_BSTR, V_VT(&result));
        *text = TextOf(V_BSTR(&result));
        VariantClear(&result);
        return hr;
    }
    HRESULT Put(const std::wstring& name, LONG value) override {
        VARIANT arg;
        V_VT(&arg) = VT_I4;
        V_I4(&arg) = value;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&arg, &named, 1, 1};
        return Invoke(name, DISPATCH_PROPERTYPUT, &params, nullptr);
    }

private:
    HRESULT InvokeLong(const std::wstring& name, WORD flags, LONG* value) {
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none{};
        HRESULT hr = Invoke(name, flags, &none, &result);
        // A method that wrote nothing leaves the caller's variable as it was.
        if (V_VT(&result) == VT_I4)
            *value = V_I4(&result);
        else
            EXPECT_EQ(VT_EMPTY, V_VT(&result));
        return hr;
    }

    HRESULT Invoke(const std::wstring& name, WORD flags, DISPPARAMS* params, VARIANT* result) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        EXPECT_EQ(S_OK, hr);
        EXCEPINFO exception{};
        UINT argError = 0;
        hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, result, &exception,
                             &argError);
        EXPECT_EQ(0, exception.scode);
        EXPECT_EQ(0, exception.wCode);
        EXPECT_EQ(nullptr, exception.bstrDescription);
        EXPECT_EQ(nullptr, exception.bstrSource);
        ExpectNoErrorInfo(name);
        return hr;
    }

    IKorvex* object_;
};

// The test program is the module: it carries the driver's type library and version resource,
// and starts the server as the library does when it is loaded.
class ServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        StartKorvexServer(GetModuleHandleW(nullptr));
    }
    void TearDown() override { CoUninitialize(); }
};

::testing::Environment* const kServer = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

} // namespace

LONG KorvexClient::Number(const std::wstring& property) {
    LONG value = 0x7EADBEEF;
    EXPECT_EQ(S_OK, Get(property, &value));
    return value;
}

std::string KorvexClient::Text(const std::wstring& property) {
    ClientText text;
    EXPECT_EQ(S_OK, GetText(property, &text));
    return text.bytes;
}

LONG KorvexClient::Run(const std::wstring& method) {
    LONG value = 0x7EADBEEF;
    EXPECT_EQ(S_OK, Call(method, &value));
    return value;
}

std::unique_ptr<KorvexClient> MakeClient(ClientPath path, IKorvex* object) {
    if (path == ClientPath::Vtable)
        return std::make_unique<VtableClient>(object);
    return std::make_unique<DispatchClient>(object);
}

TComPtr<IKorvex> NewKorvex() {
    TComPtr<IKorvex> object;
    EXPECT_EQ(S_OK, AxCreateControl<TSavolin>(nullptr, IID_IKorvex, object.PutVoid()));
    return object;
}
