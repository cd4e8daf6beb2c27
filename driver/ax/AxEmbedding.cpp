#include "AxEmbedding.h"

#include <olectl.h>

#include "AxWindow.h"

namespace {

template <class T> TComPtr<T> Query(IUnknown* object, REFIID iid) {
    TComPtr<T> itf;
    if (object)
        object->QueryInterface(iid, itf.PutVoid());
    return itf;
}

} // namespace

TAxEmbedding::~TAxEmbedding() = default;

IUnknown* TAxEmbedding::Find(REFIID iid) {
    // IOleWindow is the base of both in-place interfaces; the in-place object answers for it.
    if (IsEqualIID(iid, IID_IOleWindow))
        return static_cast<IOleInPlaceObject*>(this);
    return TAxPart::Find(iid);
}

// --- IOleObject -----------------------------------------------------------------------------

HRESULT TAxEmbedding::SetClientSite(IOleClientSite* site) {
    clientSite_ = TComPtr<IOleClientSite>::Borrow(site);
    controlSite_ = Query<IOleControlSite>(site, IID_IOleControlSite);
    return S_OK;
}

HRESULT TAxEmbedding::GetClientSite(IOleClientSite** site) {
    if (!site)
        return E_POINTER;
    *site = TComPtr<IOleClientSite>(clientSite_).Detach();
    return S_OK;
}

HRESULT TAxEmbedding::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT TAxEmbedding::Close(DWORD saveOption) {
    InPlaceDeactivate();
    bool save = saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE;
    if (save && control_.Modified() && clientSite_)
        clientSite_->SaveObject();
    if (oleAdvise_)
        oleAdvise_->SendOnClose();
    return S_OK;
}

HRESULT TAxEmbedding::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

HRESULT TAxEmbedding::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT TAxEmbedding::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

HRESULT TAxEmbedding::GetClipboardData(DWORD, IDataObject** data) {
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT TAxEmbedding::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND, LPCRECT) {
    IOleClientSite* site = clientSite_ ? clientSite_.Get() : activeSite;
    switch (verb) {
    case 0: // "Properties"
    case OLEIVERB_PROPERTIES:
        ShowPropertyFrame();
        return S_OK;
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(site, true);
    case OLEIVERB_INPLACEACTIVATE:
        return InPlaceActivate(site, false);
    case OLEIVERB_HIDE:
        control_.Window().SetVisible(false);
        return S_OK;
    default:
        return OLEOBJ_S_INVALIDVERB;
    }
}

void TAxEmbedding::ShowPropertyFrame() {
    // The container's frame shows the pages; without it the control would show its own, and
    // it has none.
    if (controlSite_)
        controlSite_->ShowPropertyFrame();
}

HRESULT TAxEmbedding::EnumVerbs(IEnumOLEVERB** verbs) {
    if (!verbs)
        return E_POINTER;
    return OleRegEnumVerbs(control_.ClassId(), verbs);
}

HRESULT TAxEmbedding::Update() {
    return S_OK;
}

HRESULT TAxEmbedding::IsUpToDate() {
    return S_OK;
}

HRESULT TAxEmbedding::GetUserClassID(CLSID* classId) {
    if (!classId)
        return E_POINTER;
    *classId = control_.ClassId();
    return S_OK;
}

HRESULT TAxEmbedding::GetUserType(DWORD form, LPOLESTR* userType) {
    if (!userType)
        return E_POINTER;
    return OleRegGetUserType(control_.ClassId(), form, userType);
}

HRESULT TAxEmbedding::SetExtent(DWORD aspect, SIZEL* size) {
    return control_.SetExtent(aspect, size);
}

HRESULT TAxEmbedding::GetExtent(DWORD aspect, SIZEL* size) {
    return control_.GetExtent(aspect, size);
}

HRESULT TAxEmbedding::MakeAdviseHolder() {
    return oleAdvise_ ? S_OK : CreateOleAdviseHolder(oleAdvise_.Put());
}

HRESULT TAxEmbedding::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!sink || !connection)
        return E_POINTER;
    *connection = 0;
    HRESULT hr = MakeAdviseHolder();
    return FAILED(hr) ? hr : oleAdvise_->Advise(sink, connection);
}

HRESULT TAxEmbedding::Unadvise(DWORD connection) {
    return oleAdvise_ ? oleAdvise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT TAxEmbedding::EnumAdvise(IEnumSTATDATA** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    // Before the first Advise the list is empty, and the container still gets an enumerator.
    HRESULT hr = MakeAdviseHolder();
    return FAILED(hr) ? hr : oleAdvise_->EnumAdvise(out);
}

HRESULT TAxEmbedding::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status)
        return E_POINTER;
    *status = 0;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *status = control_.MiscStatus();
    return S_OK;
}

HRESULT TAxEmbedding::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// --- IOleControl ----------------------------------------------------------------------------

HRESULT TAxEmbedding::GetControlInfo(CONTROLINFO* info) {
    if (!info)
        return E_POINTER;
    // No mnemonics, and Enter and Escape are the container's.
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT TAxEmbedding::OnMnemonic(MSG*) {
    return S_OK;
}

HRESULT TAxEmbedding::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}

HRESULT TAxEmbedding::FreezeEvents(BOOL) {
    // The control fires no events, so there is nothing to hold back.
    return S_OK;
}

// --- In-place activation --------------------------------------------------------------------

HRESULT TAxEmbedding::InPlaceActivate(IOleClientSite* site, bool withUi) {
    if (!site)
        return E_UNEXPECTED;
    if (!inPlaceSite_) {
        HRESULT hr = EnterInPlace(site);
        if (FAILED(hr))
            return hr;
    }
    control_.Window().SetVisible(true);
    if (withUi && !uiActive_)
        EnterUi();
    site->ShowObject();
    return S_OK;
}

HRESULT TAxEmbedding::EnterInPlace(IOleClientSite* site) {
    auto inPlaceSite = Query<IOleInPlaceSite>(site, IID_IOleInPlaceSite);
    if (!inPlaceSite)
        return E_NOINTERFACE;
    if (inPlaceSite->CanInPlaceActivate() != S_OK)
        return E_FAIL;
    HWND parent = nullptr;
    HWND window = control_.Window().Handle();
    if (!window || FAILED(inPlaceSite->GetWindow(&parent)) || !parent)
        return E_FAIL;
    HRESULT hr = inPlaceSite->OnInPlaceActivate();
    if (FAILED(hr))
        return hr;
    inPlaceSite_ = inPlaceSite;

    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    hr =
        inPlaceSite_->GetWindowContext(frame_.Put(), document_.Put(), &position, &clip, &frameInfo);
    control_.Window().SetParentWindow(parent);
    if (SUCCEEDED(hr))
        SetObjectRects(&position, &clip);
    return S_OK;
}

void TAxEmbedding::EnterUi() {
    uiActive_ = true;
    inPlaceSite_->OnUIActivate();
    if (frame_) {
        frame_->SetActiveObject(ActiveObject(), nullptr);
        frame_->SetBorderSpace(nullptr);
    }
    if (document_) {
        document_->SetActiveObject(ActiveObject(), nullptr);
        document_->SetBorderSpace(nullptr);
    }
}

HRESULT TAxEmbedding::GetWindow(HWND* window) {
    if (!window)
        return E_POINTER;
    *window = control_.Window().Handle();
    return *window ? S_OK : E_FAIL;
}

HRESULT TAxEmbedding::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT TAxEmbedding::InPlaceDeactivate() {
    if (!inPlaceSite_)
        return S_OK;
    UIDeactivate();
    control_.Window().SetParentWindow(nullptr);
    TComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    frame_.Reset();
    document_.Reset();
    site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT TAxEmbedding::UIDeactivate() {
    if (!uiActive_)
        return S_OK;
    uiActive_ = false;
    if (frame_)
        frame_->SetActiveObject(nullptr, nullptr);
    if (document_)
        document_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_)
        inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT TAxEmbedding::SetObjectRects(LPCRECT position, LPCRECT clip) {
    if (!position)
        return E_POINTER;
    TAxWindowControl& window = control_.Window();
    window.SetBounds(*position);
    HWND handle = window.HandleIfMade();
    RECT visible{};
    if (handle && clip && IntersectRect(&visible, position, clip) &&
        !EqualRect(&visible, position)) {
        // Only the part inside the clip rectangle shows; the system owns the region after.
        OffsetRect(&visible, -position->left, -position->top);
        SetWindowRgn(handle, CreateRectRgnIndirect(&visible), TRUE);
    } else if (handle) {
        SetWindowRgn(handle, nullptr, TRUE);
    }
    return S_OK;
}

HRESULT TAxEmbedding::ReactivateAndUndo() {
    return INPLACE_E_NOTUNDOABLE;
}

HRESULT TAxEmbedding::TranslateAccelerator(LPMSG) {
    return S_FALSE;
}

HRESULT TAxEmbedding::OnFrameWindowActivate(BOOL) {
    return S_OK;
}

HRESULT TAxEmbedding::OnDocWindowActivate(BOOL) {
    return S_OK;
}

HRESULT TAxEmbedding::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}

HRESULT TAxEmbedding::EnableModeless(BOOL) {
    return S_OK;
}

// --- IQuickActivate -------------------------------------------------------------------------

HRESULT TAxEmbedding::QuickActivate(QACONTAINER* container, QACONTROL* control) {
    if (!container || !control)
        return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL))
        return E_INVALIDARG;
    SetClientSite(container->pClientSite);
    if (container->pAdviseSink)
        control_.ViewObject()->SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    control->dwPropNotifyCookie = 0;
    if (container->pPropertyNotifySink)
        control_.PropertyNotifyPoint()->Advise(container->pPropertyNotifySink,
                                               &control->dwPropNotifyCookie);
    control->dwMiscStatus = control_.MiscStatus();
    control->dwViewStatus = 0;
    control->dwEventCookie = 0;
    control->dwPointerActivationPolicy = 0;
    return S_OK;
}

HRESULT TAxEmbedding::SetContentExtent(LPSIZEL size) {
    return control_.SetExtent(DVASPECT_CONTENT, size);
}

HRESULT TAxEmbedding::GetContentExtent(LPSIZEL size) {
    return control_.GetExtent(DVASPECT_CONTENT, size);
}
