// What the serial port does the same way on every system: the order of the open and its
// set-up, and the pauses.
#include "untComm.h"

TComm::~TComm() {
    Close();
}

void TComm::EnsureOpen() {
    if (!IsOpen())
        Open();
}

void TComm::Open() {
    if (IsOpen())
        return;
    OpenHandle(Port());
    // A port whose set-up was refused is given back, so the next operation opens it afresh.
    try {
        SetupBuffers();
        SetLineSettings(BaudRate);
        SetTimeouts(Timeout);
    } catch (...) {
        Close();
        throw;
    }
}

void TComm::Pause(uint32_t ms) {
    Clock.Wait(ms);
}
