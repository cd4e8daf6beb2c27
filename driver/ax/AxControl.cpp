#include "AxControl.h"

#include <climits>
#include <cwchar>
#include <new>
#include <stdexcept>
#include <string>

#include "AxClassEntry.h"
#include "AxFactory.h"
#include "AxQuery.h"
#include "AxServer.h"
#include "AxTypeInfo.h"
#include "WinText.h"

TAxControl::TAxControl(IUnknown* outer, REFCLSID classId, REFIID dualIid,
                       std::unique_ptr<TAxWindowControl> window, DWORD safetyOptions)
    : controlling_(outer ? outer : &inner_), classId_(classId), dualIid_(dualIid),
      dualTypeInfo_(TAxServer::Instance().TypeInfoOf(dualIid)), window_(std::move(window)),
      safetyOptions_(safetyOptions & AX_SAFETY_OPTIONS) {
    if (!dualTypeInfo_)
        throw std::runtime_error("Type information missing for the dual interface");
}

TAxControl::~TAxControl() = default;

void AxObjectCreated() {
    TAxServer::Instance().ObjectCreated();
}

IUnknown* TAxControl::FindInterface(REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown))
        return &inner_;
    for (IUnknown* found : {info_.Find(iid), connections_.Find(iid), embedding_.Find(iid),
                            view_.Find(iid), persistence_.Find(iid)})
        if (found)
            return found;
    return nullptr;
}

DWORD TAxControl::MiscStatus() const {
    const TAxClassEntry* factory = TAxServer::Instance().FactoryOf(classId_);
    return factory ? factory->MiscStatus() : AX_CONTROL_MISC_STATUS;
}

namespace {

// Pixels per logical inch of the screen, across and down.
SIZE ScreenPixelsPerInch() {
    HDC screen = GetDC(nullptr);
    SIZE ppi{screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96,
             screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96};
    if (screen)
        ReleaseDC(nullptr, screen);
    return ppi;
}

constexpr int HIMETRIC_PER_INCH = 2540;

} // namespace

HRESULT TAxControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    SIZE ppi = ScreenPixelsPerInch();
    SIZE pixels = window_->Size();
    size->cx = MulDiv(pixels.cx, HIMETRIC_PER_INCH, ppi.cx);
    size->cy = MulDiv(pixels.cy, HIMETRIC_PER_INCH, ppi.cy);
    return S_OK;
}

HRESULT TAxControl::SetExtent(DWORD aspect, const SIZEL* size) {
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    SIZE ppi = ScreenPixelsPerInch();
    SIZE pixels{MulDiv(size->cx, ppi.cx, HIMETRIC_PER_INCH),
                MulDiv(size->cy, ppi.cy, HIMETRIC_PER_INCH)};
    SIZE old = window_->Size();
    if (pixels.cx != old.cx || pixels.cy != old.cy) {
        window_->SetSize(pixels);
        modified_ = true;
        ViewChanged();
    }
    return S_OK;
}

namespace {

// The system's text for an HRESULT, without its closing line break; the code in hexadecimal
// when the system has none.
std::wstring FailureText(HRESULT failure) {
    std::wstring text = SystemMessage(static_cast<DWORD>(failure));
    if (!text.empty())
        return text;
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(failure));
    return code;
}

} // namespace

TComPtr<IErrorInfo> TAxControl::ErrorInfoOf(HRESULT failure) const {
    TComPtr<ICreateErrorInfo> created;
    TComPtr<IErrorInfo> info;
    if (SUCCEEDED(CreateErrorInfo(created.Put()))) {
        const TAxClassEntry* factory = TAxServer::Instance().FactoryOf(classId_);
        std::wstring source = factory ? factory->ProgId() : std::wstring();
        std::wstring description = FailureText(failure);
        created->SetGUID(dualIid_);
        created->SetSource(&source[0]);
        created->SetDescription(&description[0]);
        created->QueryInterface(IID_IErrorInfo, info.PutVoid());
    }
    return info;
}

HRESULT TAxControl::ReportFailure(HRESULT failure) const noexcept {
    TComPtr<IErrorInfo> info;
    try {
        info = ErrorInfoOf(failure);
    } catch (const std::bad_alloc&) {
        // No memory for its texts.
    }
    // Without a new object the old one is at least taken away.
    SetErrorInfo(0, info.Get());
    return failure;
}

HRESULT STDMETHODCALLTYPE TAxControl::TInnerUnknown::QueryInterface(REFIID iid, void** out) {
    return AxAnswerQuery(owner_.FindInterface(iid), out);
}

ULONG STDMETHODCALLTYPE TAxControl::TInnerUnknown::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&owner_.refCount_));
}

ULONG STDMETHODCALLTYPE TAxControl::TInnerUnknown::Release() {
    LONG count = InterlockedDecrement(&owner_.refCount_);
    if (count == 0) {
        // The object goes with everything it holds (its port, window and type information)
        // before the module may be unloaded.
        delete &owner_;
        TAxServer::Instance().ObjectDestroyed();
    }
    return static_cast<ULONG>(count);
}

HRESULT TAxControl::DispatchTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT TAxControl::DispatchTypeInfo(UINT index, ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    *info = TComPtr<ITypeInfo>(dualTypeInfo_).Detach();
    return S_OK;
}

HRESULT TAxControl::DispatchIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids)
        return E_INVALIDARG;
    return DispGetIDsOfNames(dualTypeInfo_.Get(), names, count, ids);
}

UINT TAxControl::PutParameterCount(DISPID id) const {
    UINT count = UINT_MAX; // no such put: the dispatch itself refuses it
    AxEachFunction(dualTypeInfo_.Get(), [&](const FUNCDESC& function) {
        if (count == UINT_MAX && function.memid == id && function.invkind == INVOKE_PROPERTYPUT)
            count = static_cast<UINT>(function.cParams);
    });
    return count;
}

HRESULT TAxControl::DispatchInvoke(DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    // The type information's Invoke reads the parameters without looking.
    if (!params)
        return E_INVALIDARG;
    // Wine's type-information dispatch lets a put take more values than the property has and
    // stores one of them; Windows refuses the call, and so does the control.
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) &&
        params->cArgs > PutParameterCount(id))
        return DISP_E_BADPARAMCOUNT;
    return dualTypeInfo_->Invoke(DualInterface(), id, flags, params, result, exception, argError);
}
