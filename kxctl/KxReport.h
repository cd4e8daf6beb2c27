// kxctl's words: the outcome of a command as lines for people or as one JSON object for
// programs. JSON is plain ASCII, every other character written as \uXXXX, so it reads the same
// whatever code page the reader assumes.
#pragma once

#include <string>
#include <vector>

#include "KxCommandLine.h"
#include "KxSession.h"

// Lines for standard output: with verbose, every call with its result and frames; on success,
// the relays or the identification.
std::wstring TextReport(const KxRequest& request, const KxOutcome& outcome);

// The line for standard error when the command failed at its last step.
std::wstring TextFailure(const KxRequest& request, const KxOutcome& outcome);

// The whole outcome as one JSON object and a line end.
std::wstring JsonReport(const KxRequest& request, const KxOutcome& outcome);

// The port list: a line a port, its name, the system's name for it and its USB identity.
std::wstring PortsText(const std::vector<KxPort>& ports);
std::wstring PortsJson(const std::vector<KxPort>& ports);

// What find found: a line a port, its state and, for a board, its identification; with
// verbose, the frames under each.
std::wstring FindText(const std::vector<KxProbe>& probes, bool verbose);
std::wstring FindJson(const std::vector<KxProbe>& probes, int exitCode, bool verbose);

// Why --board found no board to switch: none of its number answered among the ports asked, or
// more than one did.
std::wstring NoBoardText(const KxRequest& request, const std::vector<KxProbe>& asked);
std::wstring BoardsText(const KxRequest& request, const std::vector<KxProbe>& boards);
// The same as one JSON object, with the port numbers of the probes under key.
std::wstring JsonBoardChoice(const KxRequest& request, int exitCode, const std::wstring& message,
                             const wchar_t* key, const std::vector<KxProbe>& probes);

// A failure before any call (bad arguments) as one JSON object and a line end.
std::wstring JsonError(int exitCode, const std::wstring& message);
