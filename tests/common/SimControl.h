// Client of the simulated board's control channel, for Windows test programs under Wine.
// The board listens on 127.0.0.1:<KORVEX_SIM_CONTROL> and serves COM<KORVEX_SIM_COM>.
#pragma once

#include <string>
#include <vector>

#include <winsock2.h>

namespace sim {

// A request frame the board received, with the line state while each byte came in.
struct Frame {
    long long startNs = 0; // CLOCK_MONOTONIC of the first and last byte
    long long endNs = 0;
    std::string bytes; // raw bytes
    std::string rts;   // one '0' or '1' per byte
    std::string dtr;
};

// An answer the board sent, with the times its first and last byte left.
struct Answer {
    long long startNs = 0;
    long long endNs = 0;
    std::string bytes;
};

// A modem-line call ("line"), flush ("purge") or open ("open") the line shim reported.
struct LineEvent {
    std::string kind;
    long long ns = 0;
    int rts = 0;
    int dtr = 0;
};

class SimControl {
public:
    // The board of this suite (KORVEX_SIM_CONTROL), or the one steered on controlPort.
    SimControl();
    explicit SimControl(int controlPort);
    ~SimControl();
    SimControl(const SimControl&) = delete;
    SimControl& operator=(const SimControl&) = delete;

    static int comPort(); // the COM number the board serves

    // Sends one command line; returns the reply lines before "ok". Throws std::runtime_error
    // when the board answers "error ...".
    std::vector<std::string> command(const std::string& line);

    void reset(); // default board, no fault, records cleared
    void clearRecords();
    void setStatus(int status);
    void setMetrics(int type, int subType, int protocol, int soft, int number);
    void setResult(int result);          // the board's result byte in every answer
    void fault(const std::string& mode); // "none", "silent", "cut 2", "stx 3", "crc", ...
    void setDelay(int ms);               // before the first answer byte
    void setGap(int ms);                 // extra pause between answer bytes
    int status();                        // relay status now, pulses accounted for
    long long nowNs();

    std::vector<Frame> frames();
    std::vector<Answer> answers();
    std::vector<LineEvent> events();

private:
    SOCKET socket_ = INVALID_SOCKET;
    std::string pending_;
    std::string readLine();
};

std::string fromHex(const std::string& hex); // "02 00 55" -> bytes
// A whole frame around a payload: STX, address 0, 0x55, length, payload, XOR checksum.
std::string frameOf(const std::string& payload);
std::string toHex(const std::string& bytes); // bytes -> "02 00 55 " (a space after each byte)

} // namespace sim
