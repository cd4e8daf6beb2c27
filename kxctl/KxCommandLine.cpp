#include "KxCommandLine.h"

#include <cwchar>

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
    {L"set", KxCommand::Set, 1},
};

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// The whole of text as a number in [low, high]: decimal, or hexadecimal after "0x" when hex is
// allowed. Anything else, signs and blanks included, is refused.
long ParseNumber(const std::wstring& text, long low, long high, bool hex, const char* what) {
    std::wstring digits = text;
    int base = 10;
    if (hex && digits.size() > 2 && digits[0] == L'0' && (digits[1] == L'x' || digits[1] == L'X')) {
        digits = digits.substr(2);
        base = 16;
    }
    bool valid = !digits.empty() && digits.size() <= 10;
    for (wchar_t c : digits)
        valid = valid && (base == 16 ? iswxdigit(c) : iswdigit(c)) && c < 0x80;
    long long value = valid ? std::wcstoll(digits.c_str(), nullptr, base) : -1;
    if (!valid || value < low || value > high)
        throw KxUsageError(std::string(what) + " must be " + std::to_string(low) + " to " +
                           std::to_string(high) + ", not '" + Narrow(text) + "'");
    return static_cast<long>(value);
}

const CommandInfo& FindCommand(const std::wstring& name) {
    for (const auto& info : kCommands)
        if (name == info.name)
            return info;
    throw KxUsageError("unknown command '" + Narrow(name) + "'");
}

// Fills the command's own arguments from the positional words after its name.
void ReadArguments(KxRequest& request, const std::vector<std::wstring>& words) {
    const CommandInfo& info = FindCommand(words[0]);
    if (words.size() - 1 < info.arguments)
        throw KxUsageError("'" + Narrow(words[0]) + "' needs " + std::to_string(info.arguments) +
                           (info.arguments == 1 ? " argument" : " arguments"));
    if (words.size() - 1 > info.arguments)
        throw KxUsageError("unexpected argument '" + Narrow(words[info.arguments + 1]) + "'");
    request.command = info.command;
    request.name = info.name;
    if (info.command == KxCommand::On || info.command == KxCommand::Off ||
        info.command == KxCommand::Pulse)
        request.relay = static_cast<int>(ParseNumber(words[1], 1, 8, false, "the relay"));
    if (info.command == KxCommand::Pulse)
        request.pulseMs = ParseNumber(words[2], 1, 65535, false, "the pulse time in ms");
    if (info.command == KxCommand::Set)
        request.pattern = static_cast<int>(ParseNumber(words[1], 0, 255, true, "the pattern"));
}

} // namespace

KxRequest ParseCommandLine(const std::vector<std::wstring>& args) {
    KxRequest request;
    std::vector<std::wstring> words;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            request.help = true;
        } else if (arg == L"--json") {
            request.json = true;
        } else if (arg == L"--verbose" || arg == L"-v") {
            request.verbose = true;
        } else if (arg == L"--port" || arg.rfind(L"--port=", 0) == 0) {
            std::wstring value;
            if (arg != L"--port")
                value = arg.substr(7);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                throw KxUsageError("--port needs a COM port number");
            request.port = ParseNumber(value, 1, 2147483647L, false, "the port");
        } else if (arg.size() > 1 && arg[0] == L'-') {
            throw KxUsageError("unknown option '" + Narrow(arg) + "'");
        } else {
            words.push_back(arg);
        }
    }
    if (request.help)
        return request;
    if (words.empty())
        throw KxUsageError("no command given");
    ReadArguments(request, words);
    return request;
}

const wchar_t* UsageText() {
    return L"kxctl: switch the relays of a Korvex relay board through the registered driver.\n"
           L"\n"
           L"Usage: kxctl [--port N] [--json] [--verbose] COMMAND [ARGUMENTS]\n"
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
           L"\n"
           L"Options:\n"
           L"  --port N      the board's COM port number (default 1: COM1)\n"
           L"  --json        print the result as one JSON object\n"
           L"  --verbose     also print each driver call with the frames sent and received\n"
           L"  --help        print this text\n"
           L"\n"
           L"Exit codes: 0 done; 1 the board did not answer or answered wrongly; 2 the port\n"
           L"cannot be opened or is in use; 3 bad arguments; 4 the driver is not registered.\n"
           L"\n"
           L"Example: kxctl --port 3 on 1\n";
}
