// TSavolin: the control object behind IKorvex. It owns one protocol engine and maps each of the
// interface's 25 members onto one engine operation or field; every failure inside a member
// ends in the engine's result, never in a failure HRESULT.
#pragma once

#include <memory>
#include <string>

#include "Savolin_TLB.h"
#include "AxControl.h"
#include "untDriver.h"

class TSavolin : public TAxDualControl<IKorvex> {
public:
    // outer: the aggregating object, or null.
    explicit TSavolin(IUnknown* outer);
    ~TSavolin() override;

    // The members, by what they concern. Methods: Value receives the result code.
    // The port: the number and time-out the client sets, then opened and closed.
    HRESULT STDMETHODCALLTYPE Connect(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE Disconnect(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE SetDefaults(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_PortNumber(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_PortNumber(LONG Value) override;
    HRESULT STDMETHODCALLTYPE get_Timeout(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_Timeout(LONG Value) override;
    // The relays: a pattern set, read back, or held for a pulse of ToggleTime milliseconds
    // after which the board turns it back by itself.
    HRESULT STDMETHODCALLTYPE GetStatus(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE SetStatus(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_ReleStatus(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_ReleStatus(LONG Value) override;
    HRESULT STDMETHODCALLTYPE ToggleStatus(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_ToggleTime(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE put_ToggleTime(LONG Value) override;
    // What the last member left: its result, and the frames sent and received.
    HRESULT STDMETHODCALLTYPE get_ResultCode(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_ResultDescription(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE get_Output(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE get_Input(BSTR* Value) override;
    // The board's identification.
    HRESULT STDMETHODCALLTYPE GetDeviceMetrics(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_DeviceType(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_DeviceSubType(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_ProtocolVersion(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_SoftVersion(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_DeviceNumber(LONG* Value) override;
    // The module's version.
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* Value) override;

    std::unique_ptr<TDriver> Driver;

private:
    // Records a failure that escaped a member's body in the engine's result; returns S_OK. When
    // the memory runs out while it records, the result is that instead.
    HRESULT HandleMemberFailure(const EBaseError& failure) noexcept;
    // Records -199 "Out of memory" without allocating: the text fits the narrow result's own
    // buffer, and where the UTF-16 one has too little room the spare buffer takes its place.
    void RecordOutOfMemory() noexcept;
    // Gives the spare buffer room for that text again once it has been used, if memory allows.
    void KeepSpareRoom() noexcept;

    // The member guard: runs body; the program's failures go to HandleMemberFailure, the memory
    // running out to RecordOutOfMemory, any other exception gives E_UNEXPECTED with nothing
    // recorded. Every failure HRESULT a member returns comes with a fresh error object
    // (ReportFailure).
    template <class Body> HRESULT Guard(Body&& body) noexcept;
    // A method: Value := body's result code. When a failure escapes the body, Value still
    // receives the recorded code, so a late-bound caller never reads a failure as success.
    template <class Body> HRESULT Method(LONG* value, Body&& body);
    // A getter of a number or a text; null out-pointers are refused before anything runs.
    template <class Body> HRESULT GetNumber(LONG* value, Body&& body);
    template <class Body> HRESULT GetText(BSTR* value, Body&& body);
    // A setter of an unsigned field: a value above limit, or a negative one, is refused with
    // ERangeError before the field changes.
    template <class Field> HRESULT PutUnsigned(LONG value, uint32_t limit, Field& field);

    // Room for the UTF-16 text of running out of memory, swapped in when the result has less.
    std::wstring spareRoom_;
};

// Starts the server of module once, at the first call that needs it: the server name "Addin",
// the module's type library and the factory of TSavolin. Returns S_OK once started, or the
// start's failure (TAxServer::Start).
HRESULT StartKorvexServer(HMODULE module);
