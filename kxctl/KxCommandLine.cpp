#include "KxCommandLine.h"

namespace {

struct CommandInfo {
    const wchar_t* name;
    KxCommand command;
    size_t arguments;
};

const CommandInfo kCommands[] = {
    {L"on", KxCommand::On, 1},         {L"off", KxCommand::Off, 1},
    {L"pulse", KxCommand::Pulse, 2},   {L"alloff", KxCommand::AllOff, 0},
    {L"status", KxCommand::Status, 0}, {L"metrics", KxCommand::Metrics, 0},
    {L"set", KxCommand::Set, 1},       {L"ports", KxCommand::Ports, 0},
    {L"find", KxCommand::Find, 0},
};

const CommandInfo& FindCommand(const std::wstring& name) {
    for (const auto& info : kCommands)
        if (name == info.name)
            return info;
    throw KxUsageError(L"unknown command '" + name + L"'");
}

// Fills the command's own arguments from the positional words after its name.
void ReadArguments(KxRequest& request, const std::vector<std::wstring>& words) {
    const CommandInfo& info = FindCommand(words[0]);
    if (words.size() - 1 < info.arguments)
        throw KxUsageError(L"'" + words[0] + L"' needs " + std::to_wstring(info.arguments) +
                           (info.arguments == 1 ? L" argument" : L" arguments"));
    if (words.size() - 1 > info.arguments)
        throw KxUsageError(L"unexpected argument '" + words[info.arguments + 1] + L"'");
    request.command = info.command;
    request.name = info.name;
    if (info.command == KxCommand::On || info.command == KxCommand::Off ||
        info.command == KxCommand::Pulse)
        request.relay = static_cast<int>(ParseNumber(words[1], 1, 8, false, L"the relay"));
    if (info.command == KxCommand::Pulse)
        request.pulseMs = ParseNumber(words[2], 1, 65535, false, L"the pulse time in ms");
    if (info.command == KxCommand::Set)
        request.pattern = static_cast<int>(ParseNumber(words[1], 0, 255, true, L"the pattern"));
}

// The value of the option at args[i] ("--name VALUE" or "--name=VALUE"), or nothing when args[i]
// is another option; steps i over the value.
bool OptionValue(const std::vector<std::wstring>& args, size_t& i, const std::wstring& name,
                 const std::wstring& needs, std::wstring& value) {
    const std::wstring& arg = args[i];
    if (arg.rfind(name + L"=", 0) == 0) {
        value = arg.substr(name.size() + 1);
        return true;
    }
    if (arg != name)
        return false;
    if (i + 1 >= args.size())
        throw KxUsageError(name + L" needs " + needs);
    value = args[++i];
    return true;
}

// Refuses options that do not go with the command or with each other.
void CheckCombination(const KxRequest& request, bool portsGiven) {
    const std::wstring& command = request.name;
    if (request.board >= 0 && request.portGiven)
        throw KxUsageError(L"--board and --port cannot be used together");
    if (!request.OnOneBoard() && request.portGiven)
        throw KxUsageError(L"'" + command + L"' takes --ports, not --port");
    if (!request.OnOneBoard() && request.board >= 0)
        throw KxUsageError(L"--board goes with a command for one board, not '" + command + L"'");
    if (request.command == KxCommand::Ports && portsGiven)
        throw KxUsageError(L"'ports' lists every port; --ports goes with find or --board");
    if (request.OnOneBoard() && portsGiven && request.board < 0)
        throw KxUsageError(L"--ports goes with find or --board");
}

} // namespace

KxRequest ParseCommandLine(const std::vector<std::wstring>& args) {
    KxRequest request;
    std::vector<std::wstring> words;
    bool portsGiven = false;
    const std::wstring portNeeds = std::wstring(L"a ") + kPortNoun;
    const std::wstring portListNeeds = L"a list of " + std::wstring(kPortNoun) + L"s";
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        std::wstring value;
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            request.help = true;
        } else if (arg == L"--json") {
            request.json = true;
        } else if (arg == L"--verbose" || arg == L"-v") {
            request.verbose = true;
        } else if (OptionValue(args, i, L"--port", portNeeds, value)) {
            request.port = PortNamed(value);
            request.portGiven = true;
        } else if (OptionValue(args, i, L"--ports", portListNeeds, value)) {
            request.ports = PortsNamed(value);
            portsGiven = true;
        } else if (OptionValue(args, i, L"--board", L"a device number", value)) {
            request.board = ParseNumber(value, 0, 65535, false, L"the board's device number");
        } else if (OptionValue(args, i, L"--timeout", L"a time in milliseconds", value)) {
            request.timeoutMs =
                static_cast<uint32_t>(ParseNumber(value, 0, 60000, false, L"the time-out in ms"));
        } else if (arg.size() > 1 && arg[0] == L'-') {
            throw KxUsageError(L"unknown option '" + arg + L"'");
        } else {
            words.push_back(arg);
        }
    }
    if (request.help)
        return request;
    if (words.empty())
        throw KxUsageError(L"no command given");
    ReadArguments(request, words);
    CheckCombination(request, portsGiven);
    return request;
}

std::wstring UsageText() {
    return std::wstring() +
           L"kxctl: switch the relays of a Korvex relay board, or find the board.\n"
           L"It speaks to the board itself: no driver needs to be installed or registered.\n"
           L"\n"
           L"Usage: kxctl [--port " +
           kPortValue +
           L" | --board N [--ports LIST]] [--timeout MS] "
           L"[--json]\n"
           L"             [--verbose] COMMAND [ARGUMENTS]\n"
           L"       kxctl [--ports LIST] [--json] find\n"
           L"       kxctl [--json] ports\n"
           L"\n"
           L"Commands (relays are numbered 1 to 8, bits 0 to 7 of the status byte):\n"
           L"  on R          switch relay R on; the other relays stay as they are\n"
           L"  off R         switch relay R off; the other relays stay as they are\n"
           L"  pulse R MS    switch relay R on for MS milliseconds (1 to 65535)\n"
           L"  alloff        switch every relay off\n"
           L"  status        show which relays are on\n"
           L"  metrics       show the board's identification\n"
           L"  set P         set all eight relays at once to the pattern P (0x00 to 0xFF or 0 "
           L"to 255)\n"
           L"  ports         list the serial ports the system knows, opening none\n"
           L"  find          ask each port for a board's identification and show what answered:\n"
           L"                board, silent, busy (held by another program), absent, other\n"
           L"                (something that is not the board) or failed\n"
           L"\n"
           L"Options:\n" +
           PortHelp() +
           L"  --board N     the board whose own device number is N (see find), on whatever\n"
           L"                port it is\n" +
           kPortListHelp + L"  --timeout MS  the read time-out in milliseconds (default " +
           std::to_wstring(TComm::DefaultTimeout) +
           L"), for slow adapters\n"
           L"  --json        print the result as one JSON object\n"
           L"  --verbose     also print each driver call with the frames sent and received\n"
           L"  --help        print this text\n"
           L"\n"
           L"find and --board send each port one identification request (02 00 55 01 7A 2E)\n"
           L"and nothing else; a port held by another program is left alone. Another device on\n"
           L"a serial port still gets that request: --ports keeps them away from it.\n"
           L"\n"
           L"Exit codes: 0 done (find: a board answered); 1 the board did not answer or\n"
           L"answered wrongly (find: no board answered); 2 the port cannot be opened or is in\n"
           L"use; 3 bad arguments; 5 no board numbered as --board asks answered; 6 more than\n"
           L"one did, and nothing was switched.\n"
           L"\n"
           L"Examples: kxctl --port " +
           kPortExample +
           L" on 1\n"
           L"          kxctl find\n"
           L"          kxctl --board 4660 pulse 2 500\n";
}
