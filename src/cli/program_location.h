#pragma once

#include <filesystem>

namespace ordalia {

// The folder the running executable lies in, which is the program folder the
// window uses too; empty when the system does not say.
std::filesystem::path executableFolder();

// True when standard error is shown on a terminal, so a progress line may be
// rewritten in place; false when it goes to a file or a pipe.
bool standardErrorIsTerminal();

// Lets standard error's terminal take control sequences (moving the cursor up
// to redraw lines); Windows consoles need to be told.
void enableTerminalControl();

} // namespace ordalia
