// The paced output queue and the record of the answers that left it.
#include "Sender.h"

#include <algorithm>

#include "Clock.h"

namespace boardsim {

void Sender::queueAnswer(const Bytes& wire, long long now, int delayMs, int gapMs) {
    long long due = now + delayMs * kMs;
    for (char b : wire) {
        due += byteNs_;
        queue_.push_back({due, b, false});
        due += gapMs * kMs;
    }
    sending_ = Sent{};
}

void Sender::queueNoise(int n, std::mt19937& rng) {
    long long due = std::max(nowNs(), queue_.empty() ? 0LL : queue_.back().dueNs);
    for (int i = 0; i < n; ++i) {
        char b = static_cast<char>(rng() & 255);
        due += byteNs_;
        queue_.push_back({due, b == kStx ? char(0x7F) : b, true});
    }
}

void Sender::sendDue(Line& line) {
    while (!queue_.empty() && nowNs() >= queue_.front().dueNs) {
        OutByte o = queue_.front();
        queue_.pop_front();
        bool written = line.send(o.byte); // a byte nobody reads is lost, as on a real line
        if (written && !o.noise)
            recordSent(o.byte);
    }
}

// The answer is whole once no byte of it is left in the queue.
void Sender::recordSent(char byte) {
    long long t = nowNs();
    if (sending_.bytes.empty())
        sending_.startNs = t;
    sending_.bytes.push_back(byte);
    sending_.endNs = t;
    if (std::none_of(queue_.begin(), queue_.end(), [](const OutByte& b) { return !b.noise; }))
        answers_.push_back(sending_);
}

long long Sender::nextDue() const {
    return queue_.empty() ? kNever : queue_.front().dueNs;
}

} // namespace boardsim
