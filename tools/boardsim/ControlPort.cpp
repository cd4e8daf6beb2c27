// The control port's sockets: the listener, the clients, their lines in and replies out.
#include "ControlPort.h"

#include <algorithm>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Fatal.h"

namespace boardsim {

namespace {

void sendAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

// The first whole line of in, taken out without its line break; false if none is whole yet.
bool takeLine(std::string& in, std::string& line) {
    size_t nl = in.find('\n');
    if (nl == std::string::npos)
        return false;
    line = in.substr(0, nl);
    in.erase(0, nl + 1);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

} // namespace

ControlPort::ControlPort(int port) {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listen_, 8) != 0)
        die("control port " + std::to_string(port));
}

void ControlPort::addPollFds(std::vector<pollfd>& fds) const {
    fds.push_back({listen_, POLLIN, 0});
    for (const auto& c : clients_)
        fds.push_back({c.fd, POLLIN, 0});
}

// A client that the poll found gone is closed when its read finds nothing.
void ControlPort::serve(const pollfd* fds, size_t count, const Handler& handler) {
    if (fds[0].revents & POLLIN)
        acceptClient();
    for (size_t i = 1; i < count; ++i)
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
            readClient(fds[i].fd, handler);
    clients_.erase(
        std::remove_if(clients_.begin(), clients_.end(), [](const Client& c) { return c.fd < 0; }),
        clients_.end());
}

// Replies go out at once: a test waits for each before its next command.
void ControlPort::acceptClient() {
    int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    clients_.push_back({fd, {}});
}

void ControlPort::readClient(int fd, const Handler& handler) {
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
    std::string line;
    while (takeLine(it->in, line))
        sendAll(fd, handler(line));
}

} // namespace boardsim
