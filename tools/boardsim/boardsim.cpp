// Simulated relay board on a pseudo-terminal.
//
// It opens a pseudo-terminal, links it as a COM port of the Wine prefix, and answers the board's
// four commands at 9600-baud 8N1 pacing (10 bits, about 1.04 ms a byte). It answers a complete
// frame only once RTS is set (the PC listening), as on a half-duplex line. Tests steer it on a
// loopback TCP control channel (one command a line, answered by lines and "ok" or "error ...")
// and read back what it recorded: every frame received with the RTS/DTR state while each byte
// came in, every answer sent, and every line event the line shim reported. Tests can also make
// noise on the line ("burst"), take the board away and bring it back ("unplug", "plug"), and
// remove and restore the COM port's link ("unlink", "link").
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {

using Bytes = std::string;

long long nowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

constexpr long long kMs = 1000000LL;

std::string hex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out.empty() ? "-" : out;
}

unsigned char xorOf(const Bytes& bytes, size_t from, size_t to) {
    unsigned char x = 0;
    for (size_t i = from; i < to; ++i)
        x ^= static_cast<unsigned char>(bytes[i]);
    return x;
}

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "boardsim: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

// What the board puts on the wire instead of a good answer.
struct Fault {
    std::string kind = "none"; // none silent cut stx crc shortdata code shortpayload garbage
    int arg = 0;
};

struct Received {
    long long startNs = 0, endNs = 0;
    Bytes bytes;
    std::string rts, dtr;
};

struct Sent {
    long long startNs = 0, endNs = 0;
    Bytes bytes;
};

struct LineEvent {
    std::string kind;
    long long ns;
    int rts, dtr;
};

// The board's own state and its answers to the four commands.
class Board {
public:
    void reset() {
        status_ = 0;
        pulseEndNs_ = 0;
        type_ = 1, subType_ = 2, protocol_ = 3, soft_ = 4, number_ = 0x1234;
        result_ = 0;
    }

    int status(long long now) {
        if (pulseEndNs_ && now >= pulseEndNs_) {
            status_ = restStatus_;
            pulseEndNs_ = 0;
        }
        return status_;
    }
    void setStatus(int s) {
        status_ = s & 255;
        pulseEndNs_ = 0;
    }
    void setMetrics(int t, int s, int p, int v, int n) {
        type_ = t & 255, subType_ = s & 255, protocol_ = p & 255, soft_ = v & 255;
        number_ = n & 0xFFFF;
    }
    void setResult(int r) { result_ = r & 255; }

    // Answer payload for a request payload: command code, result byte, data. A nonzero result
    // byte means the board did not carry the command out; the data is sent all the same.
    Bytes answer(const Bytes& request, long long now) {
        unsigned char code = static_cast<unsigned char>(request[0]);
        Bytes data;
        bool execute = result_ == 0;
        switch (code) {
        case 'w':
            if (request.size() < 2)
                return {char(code), 1};
            if (execute)
                setStatus(static_cast<unsigned char>(request[1]));
            data.push_back(static_cast<char>(execute ? status_ : status(now)));
            break;
        case 'x': {
            if (request.size() < 4)
                return {char(code), 1};
            int pattern = static_cast<unsigned char>(request[1]);
            int ms = static_cast<unsigned char>(request[2]) |
                     (static_cast<unsigned char>(request[3]) << 8);
            if (execute) {
                restStatus_ = status(now);
                status_ = pattern;
                pulseEndNs_ = now + ms * kMs;
                if (ms == 0) {
                    status_ = restStatus_;
                    pulseEndNs_ = 0;
                }
            }
            data.push_back(static_cast<char>(pattern));
            break;
        }
        case 'y':
            data.push_back(static_cast<char>(status(now)));
            break;
        case 'z':
            data = {char(type_), char(subType_),      char(protocol_),
                    char(soft_), char(number_ & 255), char(number_ >> 8)};
            break;
        default:
            return {char(code), 1}; // unknown command: refused, no data
        }
        Bytes payload{char(code), char(result_)};
        return payload + data;
    }

private:
    int status_ = 0, restStatus_ = 0;
    long long pulseEndNs_ = 0;
    int type_ = 1, subType_ = 2, protocol_ = 3, soft_ = 4, number_ = 0x1234;
    int result_ = 0;
};

Bytes frameOf(const Bytes& payload) {
    Bytes body{0, 0x55, char(payload.size() & 255)};
    body += payload;
    Bytes frame{2};
    frame += body;
    frame.push_back(static_cast<char>(xorOf(body, 0, body.size())));
    return frame;
}

struct Options {
    std::string link, linesDir, ready;
    int control = 0;
    int baud = 9600;
};

class Simulator {
public:
    explicit Simulator(const Options& opt) : opt_(opt), rng_(12345) {
        byteNs_ = 10LL * 1000000000LL / opt.baud;
        board_.reset();
        // The COM port's link comes last: a board that fails to start leaves no link behind
        // to a terminal that another program may get next.
        openControl();
        openTerminal();
        openLineSocket();
        linkTerminal();
        if (!opt_.ready.empty()) {
            FILE* f = std::fopen(opt_.ready.c_str(), "w");
            if (f) {
                std::fprintf(f, "%s\n", slavePath_.c_str());
                std::fclose(f);
            }
        }
    }

    ~Simulator() {
        if (!opt_.link.empty())
            unlink(opt_.link.c_str());
        if (!socketPath_.empty())
            unlink(socketPath_.c_str());
    }

    void run() {
        while (!stop_) {
            std::vector<pollfd> fds = {
                {master_, POLLIN, 0}, {lines_, POLLIN, 0}, {listen_, POLLIN, 0}};
            for (auto& c : clients_)
                fds.push_back({c.fd, POLLIN, 0});
            long long wait = nextDeadline() - nowNs();
            timespec ts{0, 0};
            timespec* tsp = nullptr;
            if (nextDeadline() != kNever) {
                wait = std::max(0LL, wait);
                ts = {static_cast<time_t>(wait / 1000000000LL),
                      static_cast<long>(wait % 1000000000LL)};
                tsp = &ts;
            }
            int n = ppoll(fds.data(), fds.size(), tsp, nullptr);
            if (n < 0 && errno != EINTR)
                die("ppoll");
            // Line events first: a modem call is reported before the bytes that follow it.
            if (fds[1].revents & POLLIN)
                readLineEvents();
            if (fds[0].revents & POLLIN)
                readTerminal();
            if (fds[2].revents & POLLIN)
                acceptClient();
            for (size_t i = 3; i < fds.size(); ++i)
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                    readClient(fds[i].fd);
            clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                          [](const Client& c) { return c.fd < 0; }),
                           clients_.end());
            dropStalePartial();
            startPendingAnswer();
            sendDueBytes();
        }
    }

    void requestStop() { stop_ = true; }

private:
    static constexpr long long kNever = 0x7FFFFFFFFFFFFFFFLL;

    struct Client {
        int fd;
        std::string in;
    };

    struct OutByte {
        long long dueNs;
        char byte;
        bool noise; // a burst's byte, not part of an answer
    };

    Options opt_;
    Board board_;
    std::mt19937 rng_;
    long long byteNs_;
    int master_ = -1, slaveKeep_ = -1, lines_ = -1, listen_ = -1;
    std::string slavePath_, socketPath_;
    std::vector<Client> clients_;
    bool stop_ = false;

    int rts_ = 0, dtr_ = 0;
    bool linesSeen_ = false;
    bool rtsWait_ = true;
    Fault fault_;
    int delayMs_ = 0, gapMs_ = 0;

    Received partial_;
    long long lastByteNs_ = 0;
    bool answerPending_ = false;
    Bytes pendingRequest_;
    std::deque<OutByte> out_;
    Sent sending_;

    std::vector<Received> frames_;
    std::vector<Received> junk_;
    std::vector<Sent> answers_;
    std::vector<LineEvent> events_;

    void openTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            die("posix_openpt");
        slavePath_ = ptsname(master_);
        // Holding the slave open keeps the master readable while no program has the port, and
        // lets us put the line into raw mode before anyone opens it.
        slaveKeep_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
        if (slaveKeep_ < 0)
            die("open " + slavePath_);
        termios tio;
        tcgetattr(slaveKeep_, &tio);
        cfmakeraw(&tio);
        cfsetspeed(&tio, B9600);
        tcsetattr(slaveKeep_, TCSANOW, &tio);
    }

    // The COM port's link in the prefix points at the terminal (again).
    void linkTerminal() {
        if (opt_.link.empty() || master_ < 0)
            return;
        unlink(opt_.link.c_str());
        if (symlink(slavePath_.c_str(), opt_.link.c_str()) != 0)
            die("symlink " + opt_.link);
    }

    // The board goes away: its terminal is closed under any program that holds the port, and
    // the COM port's link and the line socket are gone, until "plug" brings a new terminal.
    void unplug() {
        if (master_ < 0)
            return;
        if (!opt_.link.empty())
            unlink(opt_.link.c_str());
        close(slaveKeep_);
        close(master_);
        close(lines_);
        unlink(socketPath_.c_str());
        master_ = slaveKeep_ = lines_ = -1;
        partial_ = Received{};
        answerPending_ = false;
        out_.clear();
    }

    // Noise on the line: n random bytes, none a frame start, sent now at line pacing.
    void queueBurst(int n) {
        long long due = std::max(nowNs(), out_.empty() ? 0LL : out_.back().dueNs);
        for (int i = 0; i < n; ++i) {
            char b = static_cast<char>(rng_() & 255);
            due += byteNs_;
            out_.push_back({due, b == 2 ? char(0x7F) : b, true});
        }
    }

    void openLineSocket() {
        lines_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (lines_ < 0)
            die("socket");
        std::string name = slavePath_.substr(slavePath_.rfind('/') + 1);
        socketPath_ = opt_.linesDir + "/pts-" + name + ".sock";
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (socketPath_.size() >= sizeof addr.sun_path) {
            errno = ENAMETOOLONG;
            die("line socket path " + socketPath_);
        }
        std::strcpy(addr.sun_path, socketPath_.c_str());
        unlink(socketPath_.c_str());
        if (bind(lines_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            die("bind " + socketPath_);
    }

    void openControl() {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(opt_.control));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            listen(listen_, 8) != 0)
            die("control port " + std::to_string(opt_.control));
    }

    // --- the line -----------------------------------------------------------------------

    void readLineEvents() {
        char buf[256];
        for (;;) {
            ssize_t n = recv(lines_, buf, sizeof buf - 1, 0);
            if (n <= 0)
                return;
            buf[n] = 0;
            char kind[16];
            long long ns;
            int rts, dtr;
            if (std::sscanf(buf, "%15s %lld %d %d", kind, &ns, &rts, &dtr) != 4)
                continue;
            events_.push_back({kind, ns, rts, dtr});
            linesSeen_ = true;
            if (std::string(kind) == "open")
                resetLineAfterOpen();
            rts_ = rts;
            dtr_ = dtr;
        }
    }

    // A new open starts a new conversation: nothing half-received or half-sent survives it.
    void resetLineAfterOpen() {
        partial_ = Received{};
        answerPending_ = false;
        out_.clear();
    }

    void readTerminal() {
        unsigned char buf[512];
        for (;;) {
            ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0)
                return; // EAGAIN, or EIO while no program holds the port
            long long t = nowNs();
            for (ssize_t i = 0; i < n; ++i)
                receiveByte(static_cast<char>(buf[i]), t);
        }
    }

    void receiveByte(char b, long long t) {
        if (partial_.bytes.empty()) {
            partial_.startNs = t;
            if (b != 2) { // not a frame start: recorded as stray, skipped
                junk_.push_back({t, t, Bytes(1, b), rtsChar(), dtrChar()});
                return;
            }
        }
        partial_.bytes.push_back(b);
        partial_.rts += rtsChar();
        partial_.dtr += dtrChar();
        partial_.endNs = t;
        lastByteNs_ = t;
        if (partial_.bytes.size() >= 4 &&
            partial_.bytes.size() == 5u + static_cast<unsigned char>(partial_.bytes[3]))
            frameComplete();
    }

    std::string rtsChar() const { return rts_ ? "1" : "0"; }
    std::string dtrChar() const { return dtr_ ? "1" : "0"; }

    // A frame left incomplete for 200 ms is given up, as the board's receiver would.
    void dropStalePartial() {
        if (!partial_.bytes.empty() && nowNs() - lastByteNs_ > 200 * kMs) {
            junk_.push_back(partial_);
            partial_ = Received{};
        }
    }

    void frameComplete() {
        Received frame = partial_;
        partial_ = Received{};
        frames_.push_back(frame);
        const Bytes& f = frame.bytes;
        size_t len = static_cast<unsigned char>(f[3]);
        if (static_cast<unsigned char>(f.back()) != xorOf(f, 1, 4 + len) || len == 0)
            return; // a damaged frame gets no answer
        pendingRequest_ = f.substr(4, len);
        answerPending_ = true;
        out_.clear();
    }

    // Half duplex: the answer goes out once RTS says the PC listens.
    void startPendingAnswer() {
        if (!answerPending_ || (rtsWait_ && linesSeen_ && !rts_))
            return;
        answerPending_ = false;
        long long now = nowNs();
        Bytes wire = applyFault(board_.answer(pendingRequest_, now));
        long long due = now + delayMs_ * kMs;
        for (char b : wire) {
            due += byteNs_;
            out_.push_back({due, b, false});
            due += gapMs_ * kMs;
        }
        sending_ = Sent{};
    }

    Bytes applyFault(const Bytes& payload) {
        const std::string& k = fault_.kind;
        if (k == "silent")
            return {};
        if (k == "shortpayload")
            return frameOf(payload.substr(0, 1));
        if (k == "code") {
            Bytes p = payload;
            p[0] = static_cast<char>(fault_.arg);
            return frameOf(p);
        }
        if (k == "shortdata") {
            unsigned char code = static_cast<unsigned char>(payload[0]);
            size_t need = code == 'z' ? 6 : 1;
            return frameOf(payload.substr(0, 2 + need - 1));
        }
        if (k == "garbage") {
            Bytes g;
            for (int i = 0; i < fault_.arg; ++i)
                g.push_back(static_cast<char>(rng_() & 255));
            if (!g.empty() && g[0] == 2)
                g[0] = 0x7F; // never a frame start by chance
            return g;
        }
        Bytes wire = frameOf(payload);
        if (k == "cut")
            wire.resize(std::min<size_t>(wire.size(), static_cast<size_t>(fault_.arg)));
        else if (k == "stx")
            wire[0] = static_cast<char>(fault_.arg);
        else if (k == "crc")
            wire.back() = static_cast<char>(wire.back() ^ 1);
        return wire;
    }

    long long nextDeadline() const {
        long long d = kNever;
        if (!out_.empty())
            d = out_.front().dueNs;
        if (!partial_.bytes.empty())
            d = std::min(d, lastByteNs_ + 201 * kMs);
        return d;
    }

    void sendDueBytes() {
        while (!out_.empty() && nowNs() >= out_.front().dueNs) {
            OutByte o = out_.front();
            out_.pop_front();
            if (write(master_, &o.byte, 1) != 1 || o.noise)
                continue; // nobody listening: the byte is lost, as on a real line
            long long t = nowNs();
            if (sending_.bytes.empty())
                sending_.startNs = t;
            sending_.bytes.push_back(o.byte);
            sending_.endNs = t;
            if (std::none_of(out_.begin(), out_.end(), [](const OutByte& b) { return !b.noise; }))
                answers_.push_back(sending_);
        }
    }

    // --- the control channel ------------------------------------------------------------

    void acceptClient() {
        int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        clients_.push_back({fd, {}});
    }

    void readClient(int fd) {
        auto it = std::find_if(clients_.begin(), clients_.end(),
                               [fd](const Client& c) { return c.fd == fd; });
        if (it == clients_.end())
            return;
        char buf[1024];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            close(fd);
            it->fd = -1;
            return;
        }
        it->in.append(buf, static_cast<size_t>(n));
        size_t nl;
        while ((nl = it->in.find('\n')) != std::string::npos) {
            std::string line = it->in.substr(0, nl);
            it->in.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::string reply = handleCommand(line);
            sendAll(fd, reply);
        }
    }

    static void sendAll(int fd, const std::string& text) {
        size_t done = 0;
        while (done < text.size()) {
            ssize_t n = write(fd, text.data() + done, text.size() - done);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    }

    std::string handleCommand(const std::string& line) {
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        std::vector<long long> args;
        std::string word;
        std::vector<std::string> words;
        while (in >> word) {
            words.push_back(word);
            args.push_back(std::strtoll(word.c_str(), nullptr, 0));
        }
        auto arg = [&](size_t i) { return i < args.size() ? args[i] : 0LL; };
        std::ostringstream out;
        if (cmd == "reset") {
            board_.reset();
            fault_ = Fault{};
            delayMs_ = gapMs_ = 0;
            rtsWait_ = true;
            clearRecords();
        } else if (cmd == "clear") {
            clearRecords();
        } else if (cmd == "status" && args.size() == 1) {
            board_.setStatus(static_cast<int>(arg(0)));
        } else if (cmd == "metrics" && args.size() == 5) {
            board_.setMetrics(int(arg(0)), int(arg(1)), int(arg(2)), int(arg(3)), int(arg(4)));
        } else if (cmd == "result" && args.size() == 1) {
            board_.setResult(static_cast<int>(arg(0)));
        } else if (cmd == "fault" && !words.empty()) {
            static const std::map<std::string, int> kinds = {
                {"none", 0},      {"silent", 0}, {"cut", 1},          {"stx", 1},    {"crc", 0},
                {"shortdata", 0}, {"code", 1},   {"shortpayload", 0}, {"garbage", 1}};
            auto k = kinds.find(words[0]);
            if (k == kinds.end() || static_cast<int>(words.size()) != 1 + k->second)
                return "error unknown fault " + line + "\n";
            fault_ = {words[0], static_cast<int>(arg(1))};
        } else if (cmd == "delay" && args.size() == 1) {
            delayMs_ = static_cast<int>(arg(0));
        } else if (cmd == "gap" && args.size() == 1) {
            gapMs_ = static_cast<int>(arg(0));
        } else if (cmd == "rtswait" && args.size() == 1) {
            rtsWait_ = arg(0) != 0;
        } else if (cmd == "get" && words.size() == 1 && words[0] == "status") {
            out << "status " << board_.status(nowNs()) << "\n";
        } else if (cmd == "idle") {
            // Nothing received half, nothing to answer, nothing left to send.
            out << "idle " << (partial_.bytes.empty() && !answerPending_ && out_.empty()) << "\n";
        } else if (cmd == "now") {
            out << "now " << nowNs() << "\n";
        } else if (cmd == "pts") {
            out << "pts " << slavePath_ << "\n";
        } else if (cmd == "frames") {
            for (const auto& f : frames_)
                out << "frame " << f.startNs << " " << f.endNs << " " << hex(f.bytes)
                    << " rts=" << f.rts << " dtr=" << f.dtr << "\n";
        } else if (cmd == "junk") {
            for (const auto& f : junk_)
                out << "junk " << f.startNs << " " << f.endNs << " " << hex(f.bytes) << "\n";
        } else if (cmd == "answers") {
            for (const auto& a : answers_)
                out << "answer " << a.startNs << " " << a.endNs << " " << hex(a.bytes) << "\n";
        } else if (cmd == "events") {
            for (const auto& e : events_)
                out << e.kind << " " << e.ns << " " << e.rts << " " << e.dtr << "\n";
        } else if (cmd == "burst" && args.size() == 1) {
            queueBurst(static_cast<int>(arg(0)));
        } else if (cmd == "unplug") {
            unplug();
        } else if (cmd == "plug") {
            if (master_ < 0) {
                openTerminal();
                openLineSocket();
                linkTerminal();
            }
        } else if (cmd == "unlink") {
            if (!opt_.link.empty())
                unlink(opt_.link.c_str());
        } else if (cmd == "link") {
            linkTerminal();
        } else if (cmd == "quit") {
            stop_ = true;
        } else {
            return "error unknown command " + line + "\n";
        }
        out << "ok\n";
        return out.str();
    }

    void clearRecords() {
        frames_.clear();
        junk_.clear();
        answers_.clear();
        events_.clear();
    }
};

Simulator* g_sim = nullptr;

void onSignal(int) {
    if (g_sim)
        g_sim->requestStop();
}

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i], v = argv[i + 1];
        if (k == "--link")
            o.link = v;
        else if (k == "--control")
            o.control = std::atoi(v.c_str());
        else if (k == "--lines-dir")
            o.linesDir = v;
        else if (k == "--ready")
            o.ready = v;
        else if (k == "--baud")
            o.baud = std::atoi(v.c_str());
    }
    if (o.control <= 0 || o.linesDir.empty() || o.baud <= 0) {
        std::fprintf(stderr, "usage: boardsim --control PORT --lines-dir DIR [--link PATH] "
                             "[--ready FILE] [--baud 9600]\n");
        std::exit(2);
    }
    return o;
}

} // namespace

int main(int argc, char** argv) {
    Options opt = parseOptions(argc, argv);
    Simulator sim(opt);
    g_sim = &sim;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sim.run();
    return 0;
}
