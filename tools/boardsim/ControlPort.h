// The control port: a TCP listener on the loopback interface for the tests. A client sends one
// command a line and reads back the reply text for each.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <poll.h>

namespace boardsim {

class ControlPort {
public:
    using Handler = std::function<std::string(const std::string& line)>;

    explicit ControlPort(int port);
    ControlPort(const ControlPort&) = delete;
    ControlPort& operator=(const ControlPort&) = delete;

    // The listener's and then each client's entry, for poll.
    void addPollFds(std::vector<pollfd>& fds) const;
    // After poll, with the entries addPollFds added: a new client taken on, and each complete line
    // a client sent answered by handler.
    void serve(const pollfd* fds, size_t count, const Handler& handler);

private:
    struct Client {
        int fd;
        std::string in;
    };

    int listen_ = -1;
    std::vector<Client> clients_;

    void acceptClient();
    void readClient(int fd, const Handler& handler);
};

} // namespace boardsim
