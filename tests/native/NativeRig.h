// What the native tests share: a port's time-outs in words, a pseudo-terminal of the test's own,
// reading a descriptor to its end, and a piece of a test run as another user.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>

#include "PosixHolders.h"
#include "untComm.h"

namespace native {

// A port's time-outs as one line: read interval, per byte, read constant, write per byte, write
// constant.
inline std::string Describe(const TCommTimeouts& t) {
    return std::to_string(t.ReadInterval) + " " + std::to_string(t.ReadTotalMultiplier) + " " +
           std::to_string(t.ReadTotalConstant) + " " + std::to_string(t.WriteTotalMultiplier) +
           " " + std::to_string(t.WriteTotalConstant);
}

// A pseudo-terminal that the test holds: the engine opens its slave as the port, the test
// writes the far end's bytes into its master and reads what the engine sent. Its line socket in
// KORVEX_LINES_DIR makes the preloaded line shim give the slave its modem lines, as it does for
// the simulated board's terminal; what the shim reports there is not read.
class TTestTerminal {
public:
    TTestTerminal() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        if (!master_ || grantpt(master_.Get()) != 0 || unlockpt(master_.Get()) != 0)
            throw std::runtime_error("no pseudo-terminal");
        path_ = ptsname(master_.Get());
        const char* dir = std::getenv("KORVEX_LINES_DIR");
        if (!dir || !*dir)
            throw std::runtime_error("KORVEX_LINES_DIR is not set (run through ctest)");
        socketPath_ = std::string(dir) + "/pts-" + path_.substr(path_.rfind('/') + 1) + ".sock";
        lines_ = TDescriptor(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, socketPath_.c_str(), sizeof addr.sun_path - 1);
        unlink(socketPath_.c_str());
        if (bind(lines_.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            throw std::runtime_error("cannot bind " + socketPath_);
        // Like the board, the test keeps the slave open, so the master reads nothing amiss while
        // no engine holds the port.
        slave_ = TDescriptor(open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    }
    ~TTestTerminal() { unlink(socketPath_.c_str()); }

    const std::string& Path() const { return path_; }
    int Slave() const { return slave_.Get(); }

    // The far end sends bytes.
    void Send(const std::string& bytes) {
        if (write(master_.Get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("cannot write to the terminal");
    }

    // Fills the terminal's queue from the slave until it takes no more, as a far end that stops
    // reading leaves it.
    void FillQueue() {
        const std::string block(1024, 'x');
        while (write(slave_.Get(), block.data(), block.size()) > 0) {
        }
    }

private:
    TDescriptor master_;
    std::string path_;
    std::string socketPath_;
    TDescriptor lines_;
    TDescriptor slave_;
};

// The user id of nobody, whom the tests become to meet file modes that root passes.
constexpr uid_t kNobody = 65534;

// Everything left to read from fd, up to its end.
inline std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    return text;
}

// Runs work in a child process as uid (and its group), and returns what work returned; throws
// std::runtime_error when the child could not become that user or did not end.
inline std::string RunAs(uid_t uid, const std::function<std::string()>& work) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    TDescriptor readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork");
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)
            _exit(2);
        const std::string said = work();
        const bool sent =
            write(writeEnd.Get(), said.data(), said.size()) == static_cast<ssize_t>(said.size());
        _exit(sent ? 0 : 1);
    }
    writeEnd.Reset();
    const std::string said = ReadAll(readEnd.Get());
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 2)
        throw std::runtime_error("cannot run as uid " + std::to_string(uid));
    return said;
}

} // namespace native
