// Client of the simulated board's control channel, for the test programs: Windows ones under
// Wine (Winsock) and native ones (BSD sockets). The board listens on
// 127.0.0.1:<KORVEX_SIM_CONTROL> and serves COM<KORVEX_SIM_COM> in the Wine prefix, or the
// terminal linked at <KORVEX_SIM_DEVICE> for native programs.
#pragma once

#include <string>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#endif

namespace sim {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
#endif

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

#ifdef _WIN32
    static int comPort(); // the COM number the board serves
#else
    static std::string devicePath(); // the path of the terminal the board serves
#endif

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
    // The payloads of the frames received, as hex dumps: "79 ", "77 21 ".
    std::vector<std::string> payloads();
    std::vector<Answer> answers();
    std::vector<LineEvent> events();

private:
    Socket socket_ = kNoSocket;
    std::string pending_;
    std::string readLine();
};

std::string fromHex(const std::string& hex); // "02 00 55" -> bytes
// A whole frame around a payload: STX, address 0, 0x55, length, payload, XOR checksum.
std::string frameOf(const std::string& payload);
std::string toHex(const std::string& bytes); // bytes -> "02 00 55 " (a space after each byte)

} // namespace sim
