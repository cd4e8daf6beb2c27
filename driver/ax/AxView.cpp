#include "AxView.h"

#include "AxWindow.h"

IUnknown* TAxView::Find(REFIID iid) {
    // IViewObject2 answers for its base too.
    if (IsEqualIID(iid, IID_IViewObject))
        return static_cast<IViewObject2*>(this);
    return TAxPart::Find(iid);
}

void TAxView::SendViewChange() {
    if (viewSink_ && (viewAspects_ & DVASPECT_CONTENT))
        viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
    if (viewFlags_ & ADVF_ONLYONCE)
        viewSink_.Reset();
}

HRESULT TAxView::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                      LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!dc || !bounds)
        return E_INVALIDARG;
    // The bounds in device units, then the context in plain pixels with the control's
    // top-left at the bounds' top-left corner.
    POINT corner{bounds->left, bounds->top};
    LPtoDP(dc, &corner, 1);
    int saved = SaveDC(dc);
    SetMapMode(dc, MM_TEXT);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetViewportOrgEx(dc, corner.x, corner.y, nullptr);

    TAxWindowControl& window = control_.Window();
    // Nothing of the control falls outside its own rectangle, as in its window.
    SIZE size = window.Size();
    IntersectClipRect(dc, 0, 0, size.cx, size.cy);
    bool wasVisible = window.Visible();
    window.SetVisible(true);
    window.PaintTo(dc);
    window.SetVisible(wasVisible);
    RestoreDC(dc, saved);
    return S_OK;
}

HRESULT TAxView::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (colors)
        *colors = nullptr;
    return E_NOTIMPL;
}

HRESULT TAxView::Freeze(DWORD, LONG, void*, DWORD*) {
    return E_NOTIMPL;
}

HRESULT TAxView::Unfreeze(DWORD) {
    return E_NOTIMPL;
}

HRESULT TAxView::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewSink_ = TComPtr<IAdviseSink>::Borrow(sink);
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
}

HRESULT TAxView::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects)
        *aspects = viewAspects_;
    if (flags)
        *flags = viewFlags_;
    if (sink)
        *sink = TComPtr<IAdviseSink>(viewSink_).Detach();
    return S_OK;
}

HRESULT TAxView::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return control_.GetExtent(aspect, size);
}

HRESULT TAxView::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium)
        return E_POINTER;
    return DV_E_FORMATETC;
}

HRESULT TAxView::GetDataHere(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium)
        return E_POINTER;
    return DV_E_FORMATETC;
}

HRESULT TAxView::QueryGetData(FORMATETC* format) {
    if (!format)
        return E_POINTER;
    return DV_E_FORMATETC;
}

HRESULT TAxView::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* canonical) {
    if (canonical)
        canonical->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT TAxView::SetData(FORMATETC*, STGMEDIUM*, BOOL) {
    return E_NOTIMPL;
}

HRESULT TAxView::EnumFormatEtc(DWORD, IEnumFORMATETC** out) {
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT TAxView::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) {
    if (!format || !sink || !connection)
        return E_POINTER;
    *connection = 0;
    if (!dataAdvise_) {
        HRESULT hr = CreateDataAdviseHolder(dataAdvise_.Put());
        if (FAILED(hr))
            return hr;
    }
    return dataAdvise_->Advise(this, format, flags, sink, connection);
}

HRESULT TAxView::DUnadvise(DWORD connection) {
    return dataAdvise_ ? dataAdvise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT TAxView::EnumDAdvise(IEnumSTATDATA** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return dataAdvise_ ? dataAdvise_->EnumAdvise(out) : OLE_E_ADVISENOTSUPPORTED;
}
