#pragma once

namespace ordalia {

// How an operation ended, for callers that act on it (the command line turns
// it into an exit status; the window has already shown every message).
enum class Outcome {
    Done,    // it did what it was asked
    Nothing, // it ended silently without doing anything (cancelled, nothing chosen)
    Refused, // bad input: a clear message, nothing sent, nothing changed
    Failed,  // the printer or the port failed: port closed, message shown
};

} // namespace ordalia
