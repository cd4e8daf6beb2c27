#include "oleMain.h"

#include <algorithm>
#include <new>

#include "AxFactory.h"
#include "AxServer.h"
#include "untConst.h"
#include "untCtrl.h"
#include "untVInfo.h"

namespace {

constexpr uint32_t MAX_RELE_STATUS = 255;
constexpr uint32_t MAX_TOGGLE_TIME = 65535;
constexpr uint32_t DEFAULT_TIMEOUT = 100;
constexpr int32_t DEFAULT_PORT = 1;

// Whether objects are safe for scripting by untrusted callers and data is the administrator's
// choice: the DWORD SafeForScripting = 1 under HKEY_LOCAL_MACHINE\SOFTWARE\Korvex (in this
// module's registry view) makes objects created afterwards claim it. Without that choice a web
// page cannot drive the relays without the browser refusing or asking first.
DWORD ScriptingSafetyOptions() {
    DWORD value = 0, size = sizeof value;
    bool chosen = RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Korvex", L"SafeForScripting",
                               RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
                  value == 1;
    return chosen ? AX_SAFETY_OPTIONS : 0;
}

// Copies the ASCII text into target where target's buffer holds it, and empties target where
// it does not; allocates nothing either way.
template <class Text> void CopyInPlace(const std::string& ascii, Text& target) noexcept {
    if (target.capacity() < ascii.size()) {
        target.clear();
        return;
    }
    target.resize(ascii.size());
    std::copy(ascii.begin(), ascii.end(), target.begin());
}

// The argument read as unsigned, so that every negative value lies above any limit.
void CheckUnsignedAtMost(LONG value, uint32_t limit) {
    if (static_cast<uint32_t>(value) > limit)
        throw ERangeError();
}

} // namespace

TSavolin::TSavolin(IUnknown* outer)
    : TAxDualControl<IKorvex>(outer, CLSID_Korvex, std::make_unique<TAxCtrl>(),
                              ScriptingSafetyOptions()),
      Driver(std::make_unique<TDriver>()) {
    KeepSpareRoom();
}

TSavolin::~TSavolin() = default;

HRESULT TSavolin::HandleMemberFailure(const EBaseError& failure) noexcept {
    try {
        Driver->HandleError(failure);
    } catch (const std::bad_alloc&) {
        RecordOutOfMemory();
    }
    return S_OK;
}

void TSavolin::RecordOutOfMemory() noexcept {
    const EOutOfMemory failure; // its message is made in the string's own buffer
    TDriver& driver = *Driver;
    if (driver.ResultDescriptionW.capacity() < failure.Message.size())
        driver.ResultDescriptionW.swap(spareRoom_);
    driver.ResultCode = RESULT_FAILURE;
    driver.ResultSystemCode = 0;
    CopyInPlace(failure.Message, driver.ResultDescription);
    CopyInPlace(failure.Message, driver.ResultDescriptionW);
}

void TSavolin::KeepSpareRoom() noexcept {
    const size_t room = EOutOfMemory().Message.size();
    if (spareRoom_.capacity() >= room)
        return;
    try {
        spareRoom_.reserve(room);
    } catch (const std::bad_alloc&) {
        // Still none: the next shortage is recorded with what room there is.
    }
}

template <class Body> HRESULT TSavolin::Guard(Body&& body) noexcept {
    HRESULT hr = S_OK;
    try {
        body();
    } catch (const EBaseError& failure) {
        hr = HandleMemberFailure(failure);
    } catch (const std::bad_alloc&) {
        RecordOutOfMemory();
    } catch (...) {
        hr = ReportFailure(E_UNEXPECTED);
    }
    KeepSpareRoom();
    return hr;
}

template <class Body> HRESULT TSavolin::Method(LONG* value, Body&& body) {
    if (!value)
        return ReportFailure(E_POINTER);
    bool completed = false;
    HRESULT hr = Guard([&] {
        *value = body();
        completed = true;
    });
    if (hr == S_OK && !completed)
        *value = Driver->ResultCode;
    return hr;
}

template <class Body> HRESULT TSavolin::GetNumber(LONG* value, Body&& body) {
    if (!value)
        return ReportFailure(E_POINTER);
    return Guard([&] { *value = static_cast<LONG>(body()); });
}

template <class Body> HRESULT TSavolin::GetText(BSTR* value, Body&& body) {
    if (!value)
        return ReportFailure(E_POINTER);
    *value = nullptr;
    return Guard([&] { *value = TBstr::FromWide(body()).Detach(); });
}

template <class Field> HRESULT TSavolin::PutUnsigned(LONG value, uint32_t limit, Field& field) {
    return Guard([&] {
        CheckUnsignedAtMost(value, limit);
        field = static_cast<Field>(value);
    });
}

// --- The port ------------------------------------------------------------------------------------

HRESULT TSavolin::Connect(LONG* Value) {
    return Method(Value, [&] { return Driver->Connect(); });
}

HRESULT TSavolin::Disconnect(LONG* Value) {
    return Method(Value, [&] { return Driver->Disconnect(); });
}

HRESULT TSavolin::SetDefaults(LONG* Value) {
    return Method(Value, [&] {
        // Its own handler: whatever fails here, Value receives the recorded code.
        try {
            Driver->SetTimeout(DEFAULT_TIMEOUT);
            Driver->SetPortNumber(DEFAULT_PORT);
            return Driver->ClearResult();
        } catch (const EBaseError& failure) {
            return Driver->HandleError(failure);
        }
    });
}

HRESULT TSavolin::get_PortNumber(LONG* Value) {
    return GetNumber(Value, [&] { return Driver->GetPortNumber(); });
}

HRESULT TSavolin::put_PortNumber(LONG Value) {
    return Guard([&] { Driver->SetPortNumber(Value); });
}

HRESULT TSavolin::get_Timeout(LONG* Value) {
    return GetNumber(Value, [&] { return Driver->GetTimeout(); });
}

HRESULT TSavolin::put_Timeout(LONG Value) {
    return Guard([&] {
        if (Value < 0)
            throw ERangeError();
        Driver->SetTimeout(static_cast<uint32_t>(Value));
    });
}

// --- The relays: a pattern set, read back, or held for a pulse -----------------------------------

HRESULT TSavolin::GetStatus(LONG* Value) {
    return Method(Value, [&] { return Driver->GetStatus(); });
}

HRESULT TSavolin::SetStatus(LONG* Value) {
    return Method(Value, [&] { return Driver->SetStatus(); });
}

HRESULT TSavolin::ToggleStatus(LONG* Value) {
    return Method(Value, [&] { return Driver->ToggleStatus(); });
}

HRESULT TSavolin::get_ReleStatus(LONG* Value) {
    return GetNumber(Value, [&] { return Driver->ReleStatus; });
}

HRESULT TSavolin::put_ReleStatus(LONG Value) {
    return PutUnsigned(Value, MAX_RELE_STATUS, Driver->ReleStatus);
}

HRESULT TSavolin::get_ToggleTime(LONG* Value) {
    return GetNumber(Value, [&] { return Driver->ToggleTime; });
}

HRESULT TSavolin::put_ToggleTime(LONG Value) {
    return PutUnsigned(Value, MAX_TOGGLE_TIME, Driver->ToggleTime);
}

// --- What the last member left -------------------------------------------------------------------

HRESULT TSavolin::get_ResultCode(LONG* Value) {
    return GetNumber(Value, [&] { return Driver->ResultCode; });
}

HRESULT TSavolin::get_ResultDescription(BSTR* Value) {
    return GetText(Value, [&] { return Driver->ResultDescriptionW; });
}

HRESULT TSavolin::get_Output(BSTR* Value) {
    return GetText(Value, [&] { return Cp1251ToWide(Driver->Output); });
}

HRESULT TSavolin::get_Input(BSTR* Value) {
    return GetText(Value, [&] { return Cp1251ToWide(Driver->Input); });
}

// --- The board's identification ------------------------------------------------------------------

HRESULT TSavolin::GetDeviceMetrics(LONG* Value) {
    return Method(Value, [&] { return Driver->GetDeviceMetrics(); });
}

HRESULT TSavolin::get_DeviceType(LONG* Value) {
    return GetNumber(Value, [&] { return Driver->DeviceType; });
}

HRESULT TSavolin::get_DeviceSubType(LONG* Value) {
    return GetNumber(Value, [&] { return Driver->DeviceSubType; });
}

HRESULT TSavolin::get_ProtocolVersion(LONG* Value) {
    return GetNumber(Value, [&] { return Driver->ProtocolVersion; });
}

HRESULT TSavolin::get_SoftVersion(LONG* Value) {
    return GetNumber(Value, [&] { return Driver->SoftVersion; });
}

HRESULT TSavolin::get_DeviceNumber(LONG* Value) {
    return GetNumber(Value, [&] { return Driver->DeviceNumber; });
}

// --- The module ----------------------------------------------------------------------------------

HRESULT TSavolin::get_Version(BSTR* Value) {
    return GetText(Value, [] { return Cp1251ToWide(FileVersionText(ReadFileVersion())); });
}

namespace {

// The module's one class: the control Korvex, whose objects are TSavolin.
void AddKorvexFactory() {
    TAxControlClass korvex{"TSavolin",  CLSID_Korvex,
                           IID_IKorvex, &AxCreateControl<TSavolin>,
                           1,           OLEMISC_INVISIBLEATRUNTIME,
                           L"Apartment"};
    TAxServer::Instance().AddFactory(std::make_unique<TAxControlFactory>(korvex));
}

} // namespace

HRESULT StartKorvexServer(HMODULE module) {
    return TAxServer::Instance().Start(module, "Addin", &AddKorvexFactory);
}
