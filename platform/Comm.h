// A serial device opened by port name: line settings, timeouts, line events,
// transfers. The interface is the system's own and names no OS type; the Linux
// implementation sits in platform/linux/, the Windows one in platform/windows/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Line events (the event mask and what a wait reports).
enum : uint32_t {
    ev_rxchar = 0x0001,
    ev_rxflag = 0x0002,
    ev_txempty = 0x0004,
    ev_cts = 0x0008,
    ev_dsr = 0x0010,
    ev_rlsd = 0x0020,
    ev_break = 0x0040,
    ev_err = 0x0080,
    ev_ring = 0x0100,
    ev_rx80full = 0x0400,
};

// Modem status bits.
enum : uint32_t {
    ms_cts_on = 0x0010,
    ms_dsr_on = 0x0020,
    ms_ring_on = 0x0040,
    ms_rlsd_on = 0x0080
};

// Purge flags.
enum : uint32_t {
    purge_txabort = 0x0001,
    purge_rxabort = 0x0002,
    purge_txclear = 0x0004,
    purge_rxclear = 0x0008,
};

// Line error flags.
enum : uint32_t {
    ce_rxover = 0x0001,
    ce_overrun = 0x0002,
    ce_rxparity = 0x0004,
    ce_frame = 0x0008,
    ce_break = 0x0010,
    ce_txfull = 0x0100,
    ce_ioe = 0x0400,
    ce_mode = 0x8000,
};

enum : uint8_t { noparity = 0, oddparity = 1, evenparity = 2, markparity = 3, spaceparity = 4 };
enum : uint8_t { onestopbit = 0, one5stopbits = 1, twostopbits = 2 };
// The port element's data bits: bits per character less 5.
enum : uint8_t { databits5 = 0, databits6 = 1, databits7 = 2, databits8 = 3 };
enum : uint8_t { dtr_control_disable = 0, dtr_control_enable = 1, dtr_control_handshake = 2 };
enum : uint8_t {
    rts_control_disable = 0,
    rts_control_enable = 1,
    rts_control_handshake = 2,
    rts_control_toggle = 3,
};

// The line settings of a port.
struct TCommState {
    uint32_t BaudRate = 9600;
    bool Binary = true;
    bool ParityCheck = false;
    bool OutxCtsFlow = false;
    bool OutxDsrFlow = false;
    uint8_t DtrControl = dtr_control_disable;
    bool DsrSensitivity = false;
    bool TxContinueOnXoff = false;
    bool OutX = false;
    bool InX = false;
    bool ErrorCharEnabled = false;
    bool DiscardNull = false;
    uint8_t RtsControl = rts_control_disable;
    bool AbortOnError = false;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = noparity;
    uint8_t StopBits = onestopbit;
    char XonChar = 17;
    char XoffChar = 19;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
};

// Transfer timeouts in milliseconds. A read interval of 0xFFFFFFFF with both
// read totals 0 makes a read return at once with what has arrived.
struct TCommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalMultiplier = 0;
    uint32_t ReadTotalConstant = 0;
    uint32_t WriteTotalMultiplier = 0;
    uint32_t WriteTotalConstant = 0;
};

inline constexpr uint32_t comm_maxdword = 0xFFFFFFFFu;

class TComm {
public:
    // Opens the port exclusively; null when there is no such port, it is in
    // use, or access is denied.
    static std::unique_ptr<TComm> Open(std::string_view portName);
    ~TComm();
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    bool GetState(TCommState& state);
    bool SetState(const TCommState& state);
    bool Setup(uint32_t inQueue, uint32_t outQueue);
    bool SetTimeouts(const TCommTimeouts& timeouts);

    // The events a wait reports. Safe from any thread; a change wakes a wait
    // in progress, and 0 makes it fail at once.
    bool SetMask(uint32_t mask);
    // Sleeps until a watched event happens. False when the mask is 0, the
    // port is closed or the line hung up (the device is gone). Received
    // bytes are reported once: bytes that arrive while earlier ones wait
    // unread make a new report, bytes taken by a read in the meantime do not.
    bool WaitEvent(uint32_t& events);
    // After a wait reported received bytes: sleeps until more bytes arrive,
    // for at most quietUs microseconds. True when more came (they belong to
    // the same report); false when the line stayed quiet that long, the input
    // queue is full, or the wait was woken, closed or hung up.
    bool WaitMoreInput(uint32_t quietUs);
    // Where device calls complete later (the browser), line events come by
    // callback on the caller's thread instead of through a wait: `events` as
    // a wait would report them (received bytes once the line has been quiet
    // for gapUs() microseconds), or hungUp once the device has gone. False
    // where the system waits instead (WaitEvent on a thread of its own).
    using TCommEvents = std::function<void(uint32_t events, bool hungUp)>;
    bool Watch(TCommEvents events, std::function<uint32_t()> gapUs);
    // The events this device can report at all.
    uint32_t SupportedEvents();

    // Takes and clears the line errors since the last call; inQueue is the
    // count of received bytes waiting.
    bool ClearError(uint32_t& errors, uint32_t& inQueue);
    bool GetModemStatus(uint32_t& status);

    // Reads up to count bytes within the read timeouts. False when the read
    // could not start (closed, hung up).
    bool Read(std::string& out, std::size_t count);
    // Writes all bytes unless the write timeout ends it first; written is the
    // count the system accepted. False when the write could not start.
    bool Write(std::string_view bytes, std::size_t& written);
    // Discards queued data; the abort flags end the transfers in progress.
    bool Purge(uint32_t flags);
    // Waits (within the write timeout, and on Windows 2 s at most) until the
    // output queue has gone out. False when it did not: the line is held, or
    // the driver held the flush past the bound.
    bool Flush();
    // Releases the device; every later call fails. Idempotent. It ends
    // within a bound whatever the driver does: a transfer that the driver
    // keeps after its cancel is given up on.
    void Close();

private:
    struct Impl;
    explicit TComm(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
