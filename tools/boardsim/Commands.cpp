// Each control command, in three groups: those that steer the board and how it answers, those
// that read it and its records back, and those that act on the line.
#include "Commands.h"

#include <cstdlib>
#include <sstream>

#include "Clock.h"

namespace boardsim {

Commands::Request Commands::requestOf(const std::string& line) {
    Request r;
    std::istringstream in(line);
    in >> r.name;
    std::string word;
    while (in >> word) {
        r.words.push_back(word);
        r.numbers.push_back(std::strtoll(word.c_str(), nullptr, 0));
    }
    return r;
}

std::string Commands::run(const std::string& line) {
    Request r = requestOf(line);
    std::ostringstream out;
    Verdict verdict = steerBoard(r);
    if (verdict == Verdict::unknownCommand)
        verdict = report(r, out);
    if (verdict == Verdict::unknownCommand)
        verdict = steerLine(r);
    if (verdict == Verdict::unknownCommand)
        return "error unknown command " + line + "\n";
    if (verdict == Verdict::unknownFault)
        return "error unknown fault " + line + "\n";
    out << "ok\n";
    return out.str();
}

// "reset" brings back the board as it starts, answering without fault, and clears the records.
Commands::Verdict Commands::steerBoard(const Request& r) {
    if (r.is("reset")) {
        board_.reset();
        exchange_.style = AnswerStyle{};
        records_.clear();
    } else if (r.is("clear"))
        records_.clear();
    else if (r.is("status", 1))
        board_.setStatus(r.integer(0));
    else if (r.is("metrics", 5))
        board_.setMetrics(r.integer(0), r.integer(1), r.integer(2), r.integer(3), r.integer(4));
    else if (r.is("result", 1))
        board_.setResult(r.integer(0));
    else if (r.is("fault") && !r.words.empty())
        return setFault(r);
    else if (r.is("delay", 1))
        exchange_.style.delayMs = r.integer(0);
    else if (r.is("gap", 1))
        exchange_.style.gapMs = r.integer(0);
    else if (r.is("rtswait", 1))
        exchange_.style.rtsWait = r.number(0) != 0;
    else
        return Verdict::unknownCommand;
    return Verdict::ok;
}

// "fault KIND [N]"
Commands::Verdict Commands::setFault(const Request& r) {
    std::optional<Fault> fault = faultNamed(r.words[0], r.words.size() - 1, r.integer(1));
    if (!fault)
        return Verdict::unknownFault;
    exchange_.style.fault = *fault;
    return Verdict::ok;
}

// "get status" tells the relay status now, a pulse accounted for; "idle" whether nothing is
// half received, waiting to be answered or left to send.
Commands::Verdict Commands::report(const Request& r, std::ostream& out) {
    if (r.is("get", 1) && r.words[0] == "status")
        out << "status " << board_.status(nowNs()) << "\n";
    else if (r.is("idle"))
        out << "idle " << exchange_.idle() << "\n";
    else if (r.is("now"))
        out << "now " << nowNs() << "\n";
    else if (r.is("pts"))
        out << "pts " << line_.terminalPath() << "\n";
    else if (r.is("frames"))
        records_.listFrames(out);
    else if (r.is("junk"))
        records_.listJunk(out);
    else if (r.is("answers"))
        records_.listAnswers(out);
    else if (r.is("events"))
        records_.listEvents(out);
    else
        return Verdict::unknownCommand;
    return Verdict::ok;
}

// "unplug" takes the board away, and what was under way on the line with it, until "plug"
// brings a new terminal; "unlink" and "link" touch only the COM port's link.
Commands::Verdict Commands::steerLine(const Request& r) {
    if (r.is("burst", 1))
        exchange_.burst(r.integer(0));
    else if (r.is("unplug")) {
        if (line_.plugged()) {
            line_.unplug();
            exchange_.forget();
        }
    } else if (r.is("plug"))
        line_.plug();
    else if (r.is("unlink"))
        line_.removeLink();
    else if (r.is("link"))
        line_.link();
    else if (r.is("quit"))
        stop_ = 1;
    else
        return Verdict::unknownCommand;
    return Verdict::ok;
}

} // namespace boardsim
