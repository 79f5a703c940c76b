#pragma once

// What the Windows device files share.

#include <string>

namespace ordalia {

// The system's words for an error code (GetLastError, WSAGetLastError),
// without the line end and the full stop, so a message can go on after it.
std::string systemMessage(unsigned long code);

} // namespace ordalia
