// A client of Korvex without registration: its application manifest depends on the Korvex
// assembly, whose manifest beside Korvex.dll declares the class, the type library and the proxy
// of IKorvex. It creates "Addin.Korvex" by ProgID, reads the board's status on its own thread,
// then again from a thread of the multithreaded apartment through a proxy, and says each result.
//   regfree_client.exe PORT
// Exit codes: 0 done, 2 the class cannot be found or created, 1 anything else.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "Savolin_TLB.h"

namespace {

struct Status {
    LONG code = -1000, relays = -1;
};

Status ReadStatus(IKorvex* korvex) {
    Status status;
    korvex->GetStatus(&status.code);
    korvex->get_ReleStatus(&status.relays);
    return status;
}

struct CrossCall {
    IStream* stream = nullptr;
    HRESULT unmarshal = E_FAIL;
    bool proxy = false;
    Status status;
    IKorvex* original = nullptr;
};

// A thread of the multithreaded apartment: the object is reached through the marshalled stream.
DWORD WINAPI FromOtherApartment(void* parameter) {
    auto& call = *static_cast<CrossCall*>(parameter);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IKorvex* korvex = nullptr;
    call.unmarshal =
        CoGetInterfaceAndReleaseStream(call.stream, IID_IKorvex, reinterpret_cast<void**>(&korvex));
    if (SUCCEEDED(call.unmarshal)) {
        call.proxy = korvex != call.original;
        call.status = ReadStatus(korvex);
        korvex->Release();
    }
    CoUninitialize();
    return 0;
}

// Waits for the thread while the apartment's messages are served: calls from the other apartment
// arrive as messages.
void PumpUntilDone(HANDLE thread) {
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
}

int Run(long port) {
    CLSID clsid;
    HRESULT result = CLSIDFromProgID(L"Addin.Korvex", &clsid);
    if (FAILED(result)) {
        std::printf("ProgID: 0x%08lX\n", static_cast<unsigned long>(result));
        return 2;
    }
    IKorvex* korvex = nullptr;
    result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IKorvex,
                              reinterpret_cast<void**>(&korvex));
    if (FAILED(result)) {
        std::printf("create: 0x%08lX\n", static_cast<unsigned long>(result));
        return 2;
    }
    // The class id is not compared: an activation context may hand out an alias of its own.
    std::printf("created Addin.Korvex\n");
    korvex->put_PortNumber(port);
    const Status own = ReadStatus(korvex);
    std::printf("own apartment: GetStatus %ld, relays %ld\n", own.code, own.relays);

    CrossCall call;
    call.original = korvex;
    result = CoMarshalInterThreadInterfaceInStream(IID_IKorvex, korvex, &call.stream);
    if (FAILED(result)) {
        std::printf("marshal: 0x%08lX\n", static_cast<unsigned long>(result));
    } else {
        HANDLE thread = CreateThread(nullptr, 0, FromOtherApartment, &call, 0, nullptr);
        PumpUntilDone(thread);
        CloseHandle(thread);
        if (FAILED(call.unmarshal))
            std::printf("unmarshal: 0x%08lX\n", static_cast<unsigned long>(call.unmarshal));
        else
            std::printf("other apartment%s: GetStatus %ld, relays %ld\n",
                        call.proxy ? ", through a proxy" : "", call.status.code,
                        call.status.relays);
    }
    LONG ignored;
    korvex->Disconnect(&ignored);
    korvex->Release();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const long port = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    const int status = Run(port);
    CoUninitialize();
    return status;
}
