// Requests in, answers out, in the order and at the times a half-duplex board keeps.
#include "Exchange.h"

#include <algorithm>

#include "Clock.h"

namespace boardsim {

Exchange::Exchange(Board& board, Records& records, long long byteNs)
    : board_(board), records_(records), rng_(12345), receiver_(records),
      sender_(byteNs, records.answers) {}

void Exchange::lineEvent(const LineEvent& event) {
    records_.events.push_back(event);
    linesSeen_ = true;
    if (event.kind == "open")
        forget();
    rts_ = event.rts;
    dtr_ = event.dtr;
}

// A sound request replaces whatever answer was waiting or going out.
void Exchange::received(const Bytes& bytes, long long t) {
    for (char b : bytes) {
        Bytes request = receiver_.take(b, t, rts_, dtr_);
        if (request.empty())
            continue;
        pendingRequest_ = request;
        answerPending_ = true;
        sender_.clear();
    }
}

void Exchange::keepTime(Line& line) {
    receiver_.dropStale(nowNs());
    startPendingAnswer();
    sender_.sendDue(line);
}

void Exchange::forget() {
    receiver_.forget();
    answerPending_ = false;
    sender_.clear();
}

bool Exchange::idle() const {
    return receiver_.idle() && !answerPending_ && sender_.idle();
}

long long Exchange::nextDeadline() const {
    return std::min(sender_.nextDue(), receiver_.staleDeadline());
}

void Exchange::startPendingAnswer() {
    if (!answerPending_ || (style.rtsWait && linesSeen_ && !rts_))
        return;
    answerPending_ = false;
    long long now = nowNs();
    Bytes wire = wireUnder(style.fault, board_.answer(pendingRequest_, now), rng_);
    sender_.queueAnswer(wire, now, style.delayMs, style.gapMs);
}

} // namespace boardsim
