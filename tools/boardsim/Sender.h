// The board's transmitter: bytes queued at line pacing, answers and noise alike, written to the
// line when due; an answer is recorded once its last byte is out.
#pragma once

#include <deque>
#include <random>
#include <vector>

#include "Frame.h"
#include "Line.h"
#include "Records.h"

namespace boardsim {

class Sender {
public:
    // byteNs: the time one byte takes on the line.
    Sender(long long byteNs, std::vector<Sent>& answers) : byteNs_(byteNs), answers_(answers) {}

    // An answer's bytes from now: delayMs before the first, gapMs more after each.
    void queueAnswer(const Bytes& wire, long long now, int delayMs, int gapMs);
    // Noise on the line: n random bytes, none a frame start, after what is queued already.
    void queueNoise(int n, std::mt19937& rng);
    // Writes every byte that is due by now.
    void sendDue(Line& line);

    // Nothing more goes out of what was queued.
    void clear() { queue_.clear(); }
    bool idle() const { return queue_.empty(); }
    // When the next byte is due, or kNever.
    long long nextDue() const;

private:
    struct OutByte {
        long long dueNs;
        char byte;
        bool noise; // a burst's byte, not part of an answer
    };

    long long byteNs_;
    std::vector<Sent>& answers_;
    std::deque<OutByte> queue_;
    Sent sending_;

    void recordSent(char byte);
};

} // namespace boardsim
