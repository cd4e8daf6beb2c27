#include "SimControl.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace sim {

namespace {

// A board that went away fails the send, instead of ending a native test with SIGPIPE.
#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

int envInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

std::vector<std::string> split(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// "key=value" -> value
std::string valueOf(const std::string& word) {
    auto eq = word.find('=');
    return eq == std::string::npos ? std::string() : word.substr(eq + 1);
}

} // namespace

#ifdef _WIN32
int SimControl::comPort() {
    return envInt("KORVEX_SIM_COM", 5);
}
#else
std::string SimControl::devicePath() {
    const char* path = std::getenv("KORVEX_SIM_DEVICE");
    return path ? path : "";
}
#endif

SimControl::SimControl() : SimControl(envInt("KORVEX_SIM_CONTROL", 47105)) {}

// Winsock must be started before a socket is made, and stopped after the last one goes.
SimControl::SimControl(int controlPort) {
#ifdef _WIN32
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        throw std::runtime_error("WSAStartup failed");
#endif
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == kNoSocket)
        throw std::runtime_error("socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(controlPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error("cannot reach the simulated board's control channel");
    int on = 1;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

SimControl::~SimControl() {
#ifdef _WIN32
    if (socket_ != kNoSocket)
        closesocket(socket_);
    WSACleanup();
#else
    if (socket_ != kNoSocket)
        close(socket_);
#endif
}

std::string SimControl::readLine() {
    for (;;) {
        auto nl = pending_.find('\n');
        if (nl != std::string::npos) {
            std::string line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            return line;
        }
        char buf[4096];
        const int n = static_cast<int>(recv(socket_, buf, sizeof buf, 0));
        if (n <= 0)
            throw std::runtime_error("control channel closed");
        pending_.append(buf, static_cast<size_t>(n));
    }
}

std::vector<std::string> SimControl::command(const std::string& line) {
    std::string out = line + "\n";
    if (static_cast<int>(send(socket_, out.data(), static_cast<int>(out.size()), kSendFlags)) !=
        static_cast<int>(out.size()))
        throw std::runtime_error("control channel send failed");
    std::vector<std::string> reply;
    for (;;) {
        std::string l = readLine();
        if (l == "ok")
            return reply;
        if (l.rfind("error", 0) == 0)
            throw std::runtime_error("board: " + l + " (for '" + line + "')");
        reply.push_back(l);
    }
}

void SimControl::reset() {
    command("reset");
}
void SimControl::clearRecords() {
    command("clear");
}
void SimControl::setStatus(int status) {
    command("status " + std::to_string(status));
}
void SimControl::setMetrics(int type, int subType, int protocol, int soft, int number) {
    command("metrics " + std::to_string(type) + " " + std::to_string(subType) + " " +
            std::to_string(protocol) + " " + std::to_string(soft) + " " + std::to_string(number));
}
void SimControl::setResult(int result) {
    command("result " + std::to_string(result));
}
void SimControl::fault(const std::string& mode) {
    command("fault " + mode);
}
void SimControl::setDelay(int ms) {
    command("delay " + std::to_string(ms));
}
void SimControl::setGap(int ms) {
    command("gap " + std::to_string(ms));
}

int SimControl::status() {
    auto reply = command("get status");
    return reply.empty() ? -1 : std::atoi(split(reply[0]).at(1).c_str());
}

long long SimControl::nowNs() {
    auto reply = command("now");
    return reply.empty() ? 0 : std::atoll(split(reply[0]).at(1).c_str());
}

// frame <start> <end> <hex> rts=<bits> dtr=<bits>
std::vector<Frame> SimControl::frames() {
    std::vector<Frame> result;
    for (const auto& line : command("frames")) {
        auto w = split(line);
        if (w.size() < 6 || w[0] != "frame")
            continue;
        Frame f;
        f.startNs = std::atoll(w[1].c_str());
        f.endNs = std::atoll(w[2].c_str());
        f.bytes = fromHex(w[3]);
        f.rts = valueOf(w[4]);
        f.dtr = valueOf(w[5]);
        result.push_back(f);
    }
    return result;
}

std::vector<std::string> SimControl::payloads() {
    std::vector<std::string> result;
    for (const Frame& frame : frames())
        result.push_back(toHex(frame.bytes.substr(4, frame.bytes.size() - 5)));
    return result;
}

// answer <start> <end> <hex>
std::vector<Answer> SimControl::answers() {
    std::vector<Answer> result;
    for (const auto& line : command("answers")) {
        auto w = split(line);
        if (w.size() < 4 || w[0] != "answer")
            continue;
        result.push_back({std::atoll(w[1].c_str()), std::atoll(w[2].c_str()), fromHex(w[3])});
    }
    return result;
}

// <kind> <ns> <rts> <dtr>
std::vector<LineEvent> SimControl::events() {
    std::vector<LineEvent> result;
    for (const auto& line : command("events")) {
        auto w = split(line);
        if (w.size() < 4)
            continue;
        result.push_back(
            {w[0], std::atoll(w[1].c_str()), std::atoi(w[2].c_str()), std::atoi(w[3].c_str())});
    }
    return result;
}

std::string fromHex(const std::string& hex) {
    std::string bytes;
    int nibbles = 0, value = 0;
    for (char c : hex) {
        int d = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                         : -1;
        if (d < 0)
            continue;
        value = value * 16 + d;
        if (++nibbles == 2) {
            bytes.push_back(static_cast<char>(value));
            nibbles = value = 0;
        }
    }
    return bytes;
}

std::string frameOf(const std::string& payload) {
    std::string body{'\0', '\x55', static_cast<char>(payload.size())};
    body += payload;
    char x = 0;
    for (char c : body)
        x ^= c;
    return std::string(1, '\x02') + body + x;
}

std::string toHex(const std::string& bytes) {
    std::string text;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        text += buf;
    }
    return text;
}

} // namespace sim
