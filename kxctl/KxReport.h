// kxctl's words: the outcome of a command as lines for people or as one JSON object for
// programs. JSON is plain ASCII, every other character written as \uXXXX, so it reads the same
// whatever code page the reader assumes.
#pragma once

#include <string>

#include "KxCommandLine.h"
#include "KxSession.h"

// Lines for standard output: with verbose, every call with its result and frames; on success,
// the relays or the identification.
std::wstring TextReport(const KxRequest& request, const KxOutcome& outcome);

// The line for standard error when the command failed at its last step.
std::wstring TextFailure(const KxRequest& request, const KxOutcome& outcome);

// The whole outcome as one JSON object and a line end.
std::wstring JsonReport(const KxRequest& request, const KxOutcome& outcome);

// A failure before any call (bad arguments, no driver) as one JSON object and a line end.
std::wstring JsonError(int exitCode, const std::string& message);
