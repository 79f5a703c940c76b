#pragma once

#include <exception>
#include <string>

namespace ordalia {

// What is shown when an operation stops on something nobody foresaw (a file
// system error, memory running out). The click handler or command that
// catches it has already left the operation, so the port is closed.
inline std::string unexpectedErrorMessage(const std::exception* error) {
    std::string text = "The operation stopped on an unexpected error";
    if (error && error->what() && *error->what())
        text += std::string(": ") + error->what();
    return text + ". The port is closed and nothing more was sent.";
}

} // namespace ordalia
