// The line side of the virtual printer: a pseudo-terminal whose master end a
// thread of its own reads with poll() and short time-outs.

#include "virtual_printer.h"

#include "tcp_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace ordalia::vprinter {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 4096;
// The longest the thread sleeps before it looks at the time again.
constexpr Millis kTick{10};

std::filesystem::path chooseNvFolder(const std::filesystem::path& wanted) {
    if (!wanted.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(wanted, ec);
        if (ec)
            throw std::runtime_error("cannot make the NV memory folder " + wanted.string() + ": " +
                                     ec.message());
        return wanted;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "ordalia-vprinter-XXXXXX");
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error(std::string("cannot make a temporary NV memory folder: ") +
                                 std::strerror(errno));
    return pattern;
}

PrinterOptions withFolder(PrinterOptions options, const std::filesystem::path& folder) {
    options.nvFolder = folder;
    return options;
}

void makeRaw(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return;
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    // No echo above all: the replies would come straight back as received bytes.
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &tio);
}

std::string slaveName(int master) {
    // ptsname() uses a static buffer.
    static std::mutex guard;
    std::lock_guard lock(guard);
    const char* name = ::ptsname(master);
    return name ? name : "";
}

} // namespace

VirtualPrinter::VirtualPrinter(VirtualPrinterOptions options)
    : m_options(std::move(options)), m_nvFolder(chooseNvFolder(m_options.printer.nvFolder)),
      m_ownsNvFolder(m_options.printer.nvFolder.empty() && !m_options.keepNvFolder),
      m_model(withFolder(m_options.printer, m_nvFolder)) {}

VirtualPrinter::~VirtualPrinter() {
    stop();
    if (m_ownsNvFolder) {
        std::error_code ec;
        std::filesystem::remove_all(m_nvFolder, ec);
    }
}

void VirtualPrinter::start() {
    std::lock_guard lock(m_mutex);
    if (m_running)
        return;
    if (m_disconnected)
        throw std::runtime_error("this virtual printer has been disconnected; make a new one");
    auto fail = [this](const std::string& what) {
        const std::string reason = std::strerror(errno);
        closeLine();
        throw std::runtime_error(what + ": " + reason);
    };
    if (m_options.tcpPort) {
        // A network printer: the thread takes the connections as they come.
        m_tcp = std::make_unique<TcpLine>();
        m_tcp->listen(*m_options.tcpPort);
        m_slavePath = m_tcp->address();
    } else {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0)
            fail("cannot open a pseudo-terminal");
        if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            fail("cannot unlock the pseudo-terminal");
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
        const int flags = ::fcntl(m_master, F_GETFL);
        if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
            fail("cannot make the pseudo-terminal non-blocking");
        m_slavePath = slaveName(m_master);
        if (m_slavePath.empty())
            fail("the pseudo-terminal has no name");
        // Our own hold on the slave: without it the master reads EIO whenever the
        // program closes its port between two operations.
        m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_slave < 0)
            fail("cannot open " + m_slavePath);
        makeRaw(m_slave);
    }

    if (!m_options.captureFile.empty() && m_capture < 0) {
        m_capture =
            ::open(m_options.captureFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (m_capture < 0)
            fail("cannot open the capture file " + m_options.captureFile.string());
    }

    m_lastActivity = SteadyClock::now();
    m_creditAt = m_lastActivity;
    m_credit = 0;
    m_bufferedAt = m_lastActivity;
    m_stopping = false;
    m_running = true;
    m_model.note("listening on " + m_slavePath);
    m_thread = std::thread([this] { run(); });
}

void VirtualPrinter::stop() {
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard lock(m_mutex);
    closeLine();
    if (m_capture >= 0) {
        ::close(m_capture);
        m_capture = -1;
    }
    m_running = false;
    m_changed.notify_all();
}

void VirtualPrinter::closeLine() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_tcp)
        m_tcp->close();
}

void VirtualPrinter::endConnection(const std::string& why) {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    // Replies for the closed connection are lost with it, as a serial port
    // opened again drops what was waiting.
    m_unsent.clear();
    m_model.note("connection " + why);
    m_changed.notify_all();
}

bool VirtualPrinter::running() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

std::string VirtualPrinter::slavePath() const {
    std::lock_guard lock(m_mutex);
    return m_slavePath;
}

std::filesystem::path VirtualPrinter::nvFolder() const {
    return m_nvFolder;
}

std::size_t VirtualPrinter::pacedAllowance(SteadyClock::time_point now) {
    const double rate = std::max<std::uint32_t>(m_options.baud, 10) / 10.0; // bytes per second
    const double chunk = std::max(1.0, rate * 0.002);
    const double burst = std::max(chunk, rate * 0.005);
    m_credit += std::chrono::duration<double>(now - m_creditAt).count() * rate;
    m_credit = std::min(m_credit, burst);
    m_creditAt = now;
    if (m_credit < chunk)
        return 0;
    return static_cast<std::size_t>(m_credit);
}

void VirtualPrinter::printFromBuffer(SteadyClock::time_point now) {
    const double rate = std::max<std::uint32_t>(m_options.printSpeed, 1);
    m_buffered = std::max(
        0.0, m_buffered - std::chrono::duration<double>(now - m_bufferedAt).count() * rate);
    m_bufferedAt = now;
}

std::size_t VirtualPrinter::bufferAllowance(SteadyClock::time_point now) {
    printFromBuffer(now);
    if (m_bufferFull && m_buffered > 0) {
        // Busy printing, not idle: neither --idle-disconnect nor
        // --exit-after-idle may end it.
        m_lastActivity = now;
        return 0;
    }
    if (m_bufferFull) {
        m_bufferFull = false;
        m_model.note("receive buffer printed: reading again");
    }
    return static_cast<std::size_t>(
        std::max(0.0, static_cast<double>(*m_options.bufferFullAfter) - m_buffered));
}

void VirtualPrinter::run() {
    while (!m_stopping) {
        const auto now = SteadyClock::now();
        std::size_t allowance = 0;
        auto wait = kTick;
        {
            std::lock_guard lock(m_mutex);
            const PrinterMode before = m_model.mode();
            m_model.advance(now);
            const Bytes due = m_model.takeDueReplies(now);
            if (m_tcp && m_master < 0 && !m_disconnected) {
                m_master = m_tcp->acceptWaiting();
                if (m_master >= 0) {
                    m_connectedAt = now;
                    m_model.note("connection taken");
                }
            }
            if (m_tcp && m_master >= 0 && m_options.idleDisconnect &&
                now - std::max(m_lastActivity, m_connectedAt) >= *m_options.idleDisconnect) {
                // A reset, not a close: what such printers send.
                const linger reset{1, 0};
                ::setsockopt(m_master, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
                endConnection("reset after " + std::to_string(m_options.idleDisconnect->count()) +
                              " ms idle");
            }
            if (m_dead || m_disconnected || (m_tcp && m_master < 0)) {
                m_unsent.clear();
            } else {
                m_unsent.insert(m_unsent.end(), due.begin(), due.end());
                writeReplies();
                allowance = kReadChunk;
                for (const auto& limit : {m_options.dieAfterBytes, m_options.disconnectAfterBytes})
                    if (limit)
                        allowance =
                            std::min(allowance, *limit - std::min(*limit, m_received.size()));
                if (m_options.bufferFullAfter)
                    allowance = std::min(allowance, bufferAllowance(now));
                if (m_options.paced) {
                    allowance = std::min(allowance, pacedAllowance(now));
                    if (allowance == 0) {
                        const double rate = std::max<std::uint32_t>(m_options.baud, 10) / 10.0;
                        const double chunk = std::max(1.0, rate * 0.002);
                        const auto untilChunk = Millis(
                            static_cast<long>(std::ceil((chunk - m_credit) * 1000.0 / rate)));
                        wait = std::clamp(untilChunk, Millis(1), kTick);
                    }
                }
            }
            if (const auto deadline = m_model.nextDeadline()) {
                const auto left = std::chrono::ceil<Millis>(*deadline - now);
                wait = std::clamp(left, Millis(0), wait);
            }
            if (!m_unsent.empty())
                wait = std::min(wait, Millis(1));
            if (m_model.mode() != before)
                m_changed.notify_all();
        }
        if (allowance == 0) {
            std::this_thread::sleep_for(std::max(wait, Millis(1)));
            continue;
        }
        pollfd p{m_master, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(wait.count()));
        if (ready > 0 && (p.revents & POLLIN))
            readLine(allowance, SteadyClock::now());
        else if (ready > 0 && m_tcp) {
            std::lock_guard lock(m_mutex);
            endConnection("broken");
        } else if (ready > 0)
            std::this_thread::sleep_for(Millis(1)); // a hang-up cannot be read away
    }
}

void VirtualPrinter::readLine(std::size_t allowance, SteadyClock::time_point now) {
    {
        // A limit set while the line was being watched holds for these bytes too.
        std::lock_guard lock(m_mutex);
        for (const auto& limit : {m_options.dieAfterBytes, m_options.disconnectAfterBytes})
            if (limit)
                allowance = std::min(allowance, *limit - std::min(*limit, m_received.size()));
    }
    if (allowance == 0)
        return;
    std::uint8_t buffer[kReadChunk];
    const ssize_t n = ::read(m_master, buffer, std::min(allowance, sizeof buffer));
    if (n <= 0 && m_tcp && (n == 0 || (errno != EAGAIN && errno != EINTR))) {
        std::lock_guard lock(m_mutex);
        endConnection(n == 0 ? "closed by the program" : "broken");
        return;
    }
    if (n <= 0)
        return; // EAGAIN, or EIO while no slave is open: nothing to take
    const std::span<const std::uint8_t> bytes(buffer, static_cast<std::size_t>(n));

    std::lock_guard lock(m_mutex);
    if (m_capture >= 0 && ::write(m_capture, bytes.data(), bytes.size()) < 0)
        m_model.note(std::string("capture file: ") + std::strerror(errno));
    m_received.insert(m_received.end(), bytes.begin(), bytes.end());
    m_arrivals.push_back({m_received.size(), now});
    m_lastActivity = now;
    m_credit -= static_cast<double>(n);
    if (m_options.bufferFullAfter) {
        printFromBuffer(now);
        m_buffered += static_cast<double>(n);
        // Less room than a byte is full.
        if (!m_bufferFull && m_buffered + 1 > static_cast<double>(*m_options.bufferFullAfter)) {
            m_bufferFull = true;
            m_model.note("receive buffer full after " + std::to_string(m_received.size()) +
                         " bytes: reading nothing until it is printed");
        }
    }
    m_model.receive(bytes, now);

    if (m_options.dieAfterBytes && m_received.size() >= *m_options.dieAfterBytes) {
        m_dead = true;
        m_model.note("dead after " + std::to_string(m_received.size()) +
                     " bytes: reading and answering nothing more");
    }
    if (m_options.disconnectAfterBytes && m_received.size() >= *m_options.disconnectAfterBytes) {
        closeLine();
        m_disconnected = true;
        m_model.note("line closed after " + std::to_string(m_received.size()) + " bytes");
    }
    m_changed.notify_all();
}

void VirtualPrinter::writeReplies() {
    while (!m_unsent.empty() && m_master >= 0) {
        // A connection the program has closed must not end this process.
        const ssize_t n =
            m_tcp ? ::send(m_master, m_unsent.data(), m_unsent.size(), MSG_NOSIGNAL | MSG_DONTWAIT)
                  : ::write(m_master, m_unsent.data(), m_unsent.size());
        if (n <= 0)
            return; // the slave's input is full: the rest goes on the next pass
        m_sent.insert(m_sent.end(), m_unsent.begin(), m_unsent.begin() + n);
        m_unsent.erase(m_unsent.begin(), m_unsent.begin() + n);
        m_changed.notify_all();
    }
}

// --- the line ---

Bytes VirtualPrinter::received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::size_t VirtualPrinter::receivedCount() const {
    std::lock_guard lock(m_mutex);
    return m_received.size();
}

Bytes VirtualPrinter::sent() const {
    std::lock_guard lock(m_mutex);
    return m_sent;
}

std::optional<SteadyClock::time_point> VirtualPrinter::arrivalOf(std::size_t index) const {
    std::lock_guard lock(m_mutex);
    const auto it =
        std::upper_bound(m_arrivals.begin(), m_arrivals.end(), index,
                         [](std::size_t i, const Arrival& arrival) { return i < arrival.end; });
    if (it == m_arrivals.end())
        return std::nullopt;
    return it->at;
}

std::chrono::milliseconds VirtualPrinter::idleFor() const {
    std::lock_guard lock(m_mutex);
    return std::chrono::duration_cast<Millis>(SteadyClock::now() - m_lastActivity);
}

bool VirtualPrinter::dead() const {
    std::lock_guard lock(m_mutex);
    return m_dead;
}

bool VirtualPrinter::disconnected() const {
    std::lock_guard lock(m_mutex);
    return m_disconnected;
}

bool VirtualPrinter::waitUntil(const std::function<bool()>& condition, Millis limit) const {
    const auto deadline = SteadyClock::now() + limit;
    for (;;) {
        if (condition())
            return true;
        const auto now = SteadyClock::now();
        if (now >= deadline)
            return false;
        // Bounded so that a change between the test and the wait is seen soon.
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::min<SteadyClock::duration>(deadline - now, kTick));
    }
}

bool VirtualPrinter::waitForBytes(std::size_t count, Millis limit) const {
    return waitUntil([&] { return receivedCount() >= count; }, limit);
}

bool VirtualPrinter::waitForQuiet(Millis quiet, Millis limit) const {
    return waitUntil([&] { return idleFor() >= quiet; }, limit);
}

bool VirtualPrinter::waitForMode(PrinterMode mode, Millis limit) const {
    return waitUntil([&] { return this->mode() == mode; }, limit);
}

// --- what it recognised ---

PrinterMode VirtualPrinter::mode() const {
    std::lock_guard lock(m_mutex);
    return m_model.mode();
}

std::vector<RecordedCommand> VirtualPrinter::commands() const {
    std::lock_guard lock(m_mutex);
    return m_model.commands();
}

int VirtualPrinter::selfTests() const {
    std::lock_guard lock(m_mutex);
    return m_model.selfTests();
}

std::vector<Cut> VirtualPrinter::cuts() const {
    std::lock_guard lock(m_mutex);
    return m_model.cuts();
}

std::vector<LogoPrint> VirtualPrinter::logoPrints() const {
    std::lock_guard lock(m_mutex);
    return m_model.logoPrints();
}

std::vector<NvLogo> VirtualPrinter::logos() const {
    std::lock_guard lock(m_mutex);
    return m_model.logos();
}

Bytes VirtualPrinter::printData() const {
    std::lock_guard lock(m_mutex);
    return m_model.printData();
}

std::optional<SettingsDownload> VirtualPrinter::settings() const {
    std::lock_guard lock(m_mutex);
    return m_model.settings();
}

std::optional<Bytes> VirtualPrinter::fontImage() const {
    std::lock_guard lock(m_mutex);
    return m_model.fontImage();
}

std::optional<Bytes> VirtualPrinter::firmwareImage() const {
    std::lock_guard lock(m_mutex);
    return m_model.firmwareImage();
}

std::optional<Bytes> VirtualPrinter::compoundImage(std::uint8_t language) const {
    std::lock_guard lock(m_mutex);
    return m_model.compoundImage(language);
}

std::vector<std::string> VirtualPrinter::log() const {
    std::lock_guard lock(m_mutex);
    return m_model.log();
}

std::vector<std::string> VirtualPrinter::logSince(std::size_t& first) const {
    std::lock_guard lock(m_mutex);
    const auto& all = m_model.log();
    std::vector<std::string> out;
    for (std::size_t i = first; i < all.size(); ++i)
        out.push_back(all[i]);
    first = std::max(first, all.size());
    return out;
}

// --- faults and modes ---

void VirtualPrinter::setSilent(bool silent) {
    std::lock_guard lock(m_mutex);
    m_model.faults().silent = silent;
}

void VirtualPrinter::setWrongReply(std::optional<WrongReply> fault) {
    std::lock_guard lock(m_mutex);
    m_model.faults().wrongReply = fault;
}

void VirtualPrinter::setStopAnsweringAtBlock(std::optional<std::size_t> block) {
    std::lock_guard lock(m_mutex);
    m_model.faults().stopAnsweringAtBlock = block;
}

void VirtualPrinter::setDieAfterBytes(std::optional<std::size_t> count) {
    std::lock_guard lock(m_mutex);
    m_options.dieAfterBytes = count;
}

void VirtualPrinter::setDisconnectAfterBytes(std::optional<std::size_t> count) {
    std::lock_guard lock(m_mutex);
    m_options.disconnectAfterBytes = count;
}

// --- hooks ---

void VirtualPrinter::withModel(const std::function<void(PrinterModel&)>& action) {
    std::lock_guard lock(m_mutex);
    action(m_model);
}

} // namespace ordalia::vprinter
