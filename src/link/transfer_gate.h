#pragma once

namespace ordalia {

// The window pumps events during transfers, so a click can arrive while one
// runs. Every operation that talks to the printer holds a TransferLock for its
// whole run; a second one is refused instead of interleaving on the port.
class TransferGate {
public:
    bool busy() const { return m_busy; }

private:
    friend class TransferLock;
    bool m_busy = false;
};

class TransferLock {
public:
    explicit TransferLock(TransferGate& gate) : m_gate(gate), m_acquired(!gate.m_busy) {
        if (m_acquired)
            m_gate.m_busy = true;
    }
    ~TransferLock() {
        if (m_acquired)
            m_gate.m_busy = false;
    }
    TransferLock(const TransferLock&) = delete;
    TransferLock& operator=(const TransferLock&) = delete;

    bool acquired() const { return m_acquired; }

private:
    TransferGate& m_gate;
    bool m_acquired;
};

// Shown when a transfer is started while another one runs.
inline constexpr const char* kTransferBusyMessage =
    "Another transfer to the printer is still running. Please wait until it has finished.";

} // namespace ordalia
