// The network port of Windows against a printer on the loopback that reads
// 10 KB and then takes nothing more: no page ends as sent, whether the system
// counts what the printer acknowledged or the link has to ask the printer.

#include "common/clock.h"
#include "link/printer_link.h"
#include "ports/serial_port.h"
#include "ports/system_ports.h"
#include "support/bytes.h"
#include "support/fake_ui.h"
#include "support/harness.h"
#include "testprint/test_pages.h"

#include <atomic>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace ordalia {
namespace {

using ::testing::AnyOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace ordalia::testing;

// Accepts one connection, reads `take` bytes from it and then nothing, with
// the smallest receive buffer, until it is destroyed.
class StallingPrinter {
public:
    explicit StallingPrinter(std::size_t take) {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
        m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(m_listener, 1);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        host = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        m_thread = std::thread([this, take] {
            m_client = ::accept(m_listener, nullptr, nullptr);
            const int small = 1;
            ::setsockopt(m_client, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&small),
                         sizeof small);
            char buffer[1024];
            std::size_t got = 0;
            while (got < take) {
                const int n = ::recv(m_client, buffer,
                                     static_cast<int>(std::min(sizeof buffer, take - got)), 0);
                if (n <= 0)
                    break;
                got += static_cast<std::size_t>(n);
            }
        });
    }
    ~StallingPrinter() {
        ::closesocket(m_listener); // ends an accept still waiting
        m_thread.join();
        if (m_client != INVALID_SOCKET)
            ::closesocket(m_client);
    }
    std::string host;

private:
    SOCKET m_listener = INVALID_SOCKET;
    SOCKET m_client = INVALID_SOCKET;
    std::thread m_thread;
};

TEST(NetworkWin32, APageThePrinterStoppedTakingNeverEndsAsSent) {
    for (const std::size_t size : {1024u, 16384u, 65536u, 50u * 256u}) {
        SCOPED_TRACE(size);
        StallingPrinter printer(10240);
        auto port = createNetworkPort();
        FakeParallelPort parallel;
        CountingEventPump events;
        RecordingDialogs dialogs;
        TransferGate gate;
        TempFolder folder;
        folder.write("testpage/rec1.p", pseudoRandomBytes(size, 4));
        LinkChoice choice;
        choice.networkSelected = true;
        choice.host = printer.host;
        const Services services{*port,   parallel, systemClock(), events,
                                dialogs, gate,     folder.path()};
        EXPECT_EQ(SendTestPage(services, choice, "testpage/rec1.p"), Outcome::Failed);
        EXPECT_THAT(
            dialogs.texts(),
            ElementsAre(AllOf(HasSubstr("tcp://" + printer.host),
                              AnyOf(HasSubstr("did not send"), HasSubstr("took no more bytes"),
                                    HasSubstr("did not answer a status query")))));
        EXPECT_FALSE(port->isOpen());
        EXPECT_GT(events.count, 20); // the window went on through the wait
    }
}

} // namespace
} // namespace ordalia
