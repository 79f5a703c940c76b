#pragma once

#include "common/ui.h"
#include "common/unexpected.h"
#include "link/services.h"

#include <exception>

namespace ordalia::app {

// Every click handler runs its operation through here: whatever the operation
// throws ends that operation with a message, never the program (an exception
// must not cross Qt's event loop). The operation's PrinterLink closes the port
// as the exception leaves it.
template <class Handler>
void guardedClick(const Services& services, Handler&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& error) {
        try {
            services.dialogs.message(unexpectedErrorMessage(&error));
        } catch (...) {
        }
    } catch (...) {
        try {
            services.dialogs.message(unexpectedErrorMessage(nullptr));
        } catch (...) {
        }
    }
}

} // namespace ordalia::app
