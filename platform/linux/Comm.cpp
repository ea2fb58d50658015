// Serial device on Linux: a tty opened non-blocking and locked, poll() for
// waits, an eventfd to wake a wait and another to abort transfers.
#include "platform/Comm.h"

#include "platform/Ports.h"
#include "platform/linux/CommDevice.h"
#include "platform/linux/CommTermios2.h"
#include "platform/shared/CommTimeouts.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

// After the definition of the open device.
#include "platform/shared/CommForwards.h"

std::unique_ptr<TComm> TComm::Open(std::string_view portName) {
    std::string device;
    if (!ResolvePort(portName, device)) return nullptr;
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    // Exclusive: the lock also holds against root, which TIOCEXCL does not.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0 || !isatty(fd)) {
        ::close(fd);
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->fd = fd;
    impl->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    impl->abortFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (impl->wakeFd < 0 || impl->abortFd < 0) return nullptr;
    return std::unique_ptr<TComm>(new TComm(std::move(impl)));
}

bool TComm::GetState(TCommState& state) {
    int fd = impl_->fd.load();
    TTermiosLine line;
    if (fd < 0 || !ReadTermiosLine(fd, line)) return false;
    std::lock_guard lock(impl_->settingsLock);
    state = impl_->state;
    state.BaudRate = line.baud;
    state.ByteSize = uint8_t(line.dataBits);
    state.Parity = uint8_t(line.parity);
    state.StopBits = uint8_t(line.stopBits);
    state.XonChar = char(line.xonChar);
    state.XoffChar = char(line.xoffChar);
    return true;
}

bool TComm::SetState(const TCommState& s) {
    int fd = impl_->fd.load();
    if (fd < 0 || s.ByteSize < 5 || s.ByteSize > 8 || s.Parity > spaceparity ||
        s.StopBits > twostopbits || s.BaudRate == 0)
        return false;
    TTermiosLine line;
    line.baud = s.BaudRate;
    line.dataBits = s.ByteSize;
    line.parity = s.Parity;
    line.stopBits = s.StopBits;
    line.parityCheck = s.ParityCheck;
    // The kernel couples RTS handshake and CTS flow in one setting.
    line.ctsRtsFlow = s.OutxCtsFlow || s.RtsControl == rts_control_handshake;
    line.xonOut = s.OutX;
    line.xonIn = s.InX;
    line.xonChar = uint8_t(s.XonChar);
    line.xoffChar = uint8_t(s.XoffChar);
    if (!ApplyTermiosLine(fd, line)) return false;

    // The system raises DTR and RTS on open; set them as asked. Devices
    // without modem lines (a pty) refuse this, which is no failure.
    int dtr = TIOCM_DTR;
    bool dtrOn = s.DtrControl != dtr_control_disable;
    ioctl(fd, dtrOn ? TIOCMBIS : TIOCMBIC, &dtr);
    if (!line.ctsRtsFlow) {
        int rts = TIOCM_RTS;
        ioctl(fd, s.RtsControl == rts_control_enable ? TIOCMBIS : TIOCMBIC, &rts);
    }
    std::lock_guard lock(impl_->settingsLock);
    impl_->state = s;
    return true;
}

bool TComm::Setup(uint32_t inQueue, uint32_t) {
    // Kernel queues have fixed sizes; the input size is kept for the 80% event.
    int fd = impl_->fd.load();
    if (fd < 0) return false;
    std::lock_guard lock(impl_->settingsLock);
    impl_->inQueueSize = inQueue;
    // A port set up for a session asks for low latency: USB serial adapters
    // otherwise hold short replies back for their latency timer (16 ms on
    // FTDI). Devices that cannot do this (a pty) are left as they are; a
    // port only opened to see whether it can be is never changed.
    serial_struct serial{};
    if (!impl_->lowLatencySet && ioctl(fd, TIOCGSERIAL, &serial) == 0 &&
        !(serial.flags & ASYNC_LOW_LATENCY)) {
        serial.flags |= ASYNC_LOW_LATENCY;
        impl_->lowLatencySet = ioctl(fd, TIOCSSERIAL, &serial) == 0;
    }
    return true;
}

bool TComm::SetTimeouts(const TCommTimeouts& timeouts) {
    if (impl_->fd.load() < 0) return false;
    std::lock_guard lock(impl_->settingsLock);
    impl_->timeouts = timeouts;
    return true;
}

bool TComm::SetMask(uint32_t mask) {
    impl_->mask = mask;
    Signal(impl_->wakeFd);
    return impl_->fd.load() >= 0;
}

// Line events come through WaitEvent on the reader's own thread.
bool TComm::Watch(TCommEvents, std::function<uint32_t()>) {
    return false;
}

uint32_t TComm::SupportedEvents() {
    uint32_t events = ev_rxchar | ev_rx80full | ev_txempty;
    serial_icounter_struct c{};
    if (impl_->Counts(c)) events |= counted_events;
    return events;
}

bool TComm::ClearError(uint32_t& errors, uint32_t& inQueue) {
    errors = 0;
    inQueue = 0;
    if (!impl_->InQueue(inQueue)) return false;
    serial_icounter_struct c{};
    if (impl_->Counts(c)) {
        std::lock_guard lock(impl_->settingsLock);
        const serial_icounter_struct& b = impl_->errorBase;
        if (c.frame != b.frame) errors |= ce_frame;
        if (c.parity != b.parity) errors |= ce_rxparity;
        if (c.overrun != b.overrun) errors |= ce_overrun;
        if (c.buf_overrun != b.buf_overrun) errors |= ce_rxover;
        if (c.brk != b.brk) errors |= ce_break;
        impl_->errorBase = c;
    }
    return true;
}

bool TComm::GetModemStatus(uint32_t& status) {
    status = 0;
    int lines = 0;
    int fd = impl_->fd.load();
    if (fd < 0 || ioctl(fd, TIOCMGET, &lines) != 0) return false;
    if (lines & TIOCM_CTS) status |= ms_cts_on;
    if (lines & TIOCM_DSR) status |= ms_dsr_on;
    if (lines & TIOCM_RNG) status |= ms_ring_on;
    if (lines & TIOCM_CAR) status |= ms_rlsd_on;
    return true;
}

bool TComm::Purge(uint32_t flags) {
    int fd = impl_->fd.load();
    if (fd < 0) return false;
    if (flags & (purge_txabort | purge_rxabort)) {
        ++impl_->abortGen;
        Signal(impl_->abortFd);
    }
    bool rx = flags & purge_rxclear;
    bool tx = flags & purge_txclear;
    if (tx) impl_->txPending = false;
    if (!rx) return FlushTermiosQueues(fd, false, tx);
    std::lock_guard lock(impl_->rxLock);
    impl_->rxStage.clear();
    return FlushTermiosQueues(fd, true, tx);
}

bool TComm::Flush() {
    // Bounded wait for the output queue instead of tcdrain(), which has no
    // timeout and hangs on some devices.
    int fd = impl_->fd.load();
    if (fd < 0) return false;
    TCommTimeouts t;
    {
        std::lock_guard lock(impl_->settingsLock);
        t = impl_->timeouts;
    }
    int queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0) return false;
    uint64_t ms =
        uint64_t(t.WriteTotalMultiplier) * uint64_t(std::max(queued, 0)) + t.WriteTotalConstant;
    if (ms == 0) ms = flush_default_ms;
    auto deadline = Clock::now() + std::chrono::milliseconds(std::min<uint64_t>(ms, 1ull << 40));
    // A queue that stops going down (a line that flow control holds) is
    // given up on after a stall as long as the write timeout's constant.
    const auto stall =
        std::chrono::milliseconds(t.WriteTotalConstant ? t.WriteTotalConstant : flush_default_ms);
    auto progressed = Clock::now();
    while (queued > 0) {
        const auto now = Clock::now();
        if (now >= deadline || now - progressed >= stall) return false;
        ::usleep(2000);
        int before = queued;
        if (ioctl(fd, TIOCOUTQ, &queued) != 0) return false;
        if (queued < before) progressed = Clock::now();
    }
    return true;
}

void TComm::Close() {
    impl_->mask = 0;
    Signal(impl_->wakeFd);
    ++impl_->abortGen;
    Signal(impl_->abortFd);
    impl_->Release();
}
