// The half-duplex exchange on the line: frames received become the board's answers, sent once RTS
// says the PC listens, shaped by the fault, delay and gap the tests chose. It keeps the line state
// the shim reports; a new open of the port starts a new conversation.
#pragma once

#include <random>

#include "Board.h"
#include "Fault.h"
#include "Line.h"
#include "Receiver.h"
#include "Records.h"
#include "Sender.h"

namespace boardsim {

// How the board answers: the fault, the delay before the first byte and the gap after each, and
// whether it waits for RTS.
struct AnswerStyle {
    Fault fault;
    int delayMs = 0, gapMs = 0;
    bool rtsWait = true;
};

class Exchange {
public:
    // byteNs: the time one byte takes on the line.
    Exchange(Board& board, Records& records, long long byteNs);

    AnswerStyle style;

    void lineEvent(const LineEvent& event);
    void received(const Bytes& bytes, long long t);
    // What is due by now: a stale frame given up, a waiting answer started, bytes sent.
    void keepTime(Line& line);
    void burst(int n) { sender_.queueNoise(n, rng_); }

    // Nothing half received or waiting to be answered or sent survives.
    void forget();
    // Nothing received half, nothing to answer, nothing left to send.
    bool idle() const;
    // When keepTime has something to do next, or kNever.
    long long nextDeadline() const;

private:
    Board& board_;
    Records& records_;
    std::mt19937 rng_;
    Receiver receiver_;
    Sender sender_;

    // The line state as the shim reported it; until it reports, the board does not wait for RTS.
    bool linesSeen_ = false;
    bool rts_ = false, dtr_ = false;

    bool answerPending_ = false;
    Bytes pendingRequest_;

    void startPendingAnswer();
};

} // namespace boardsim
