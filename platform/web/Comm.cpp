// The serial device on Web Serial. The browser's calls complete later, so
// this backend turns them into the events the other systems deliver:
// received bytes are kept here and reported as one burst once the line has
// been quiet for the gap; a write is accepted into the page's output queue at
// once (as a driver accepts bytes into its queue) and goes out in order; a
// close lets the queued output drain before it lets the device go, and
// DrainSerialOutput tells when the output has left. The device work itself
// (opening, the read loop, writing, draining, closing) is in WebSerial.js.
#include "platform/Comm.h"

#include "platform/Ports.h"
#include "platform/web/WebComm.h"

#include <emscripten/emscripten.h>
#include <emscripten/eventloop.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>

// clang-format off
EM_JS(int, varno_serial_open, (int number), {
    return Module.varnoSerial.open(number);
});
EM_JS(void, varno_serial_configure, (int id, int baud, int dataBits, int stopBits, int parity,
                                     int bufferSize, int dtr, int rts, int hardwareFlow), {
    Module.varnoSerial.configure(id, baud, dataBits, stopBits, parity, bufferSize, dtr, rts,
                                 hardwareFlow);
});
EM_JS(void, varno_serial_write, (int id, const unsigned char* data, int size), {
    Module.varnoSerial.write(id, HEAPU8.slice(data, data + size));
});
// The bytes written in one run of the program's code go out together, once
// it has returned to the browser's loop: a block written byte by byte
// leaves in two pieces, its first bytes at once (see TComm::Write) and the
// rest at the end of the run.
EM_JS(void, varno_serial_queue_flush, (int id), {
    queueMicrotask(function() { Module._varno_serial_flush(id); });
});
EM_JS(void, varno_serial_discard_output, (int id), {
    Module.varnoSerial.discardOutput(id);
});
EM_JS(void, varno_serial_close, (int id, int drainConstantMs, int drainPerByteMs), {
    Module.varnoSerial.close(id, drainConstantMs, drainPerByteMs);
});
EM_JS(void, varno_serial_drain, (int id, int drainConstantMs, int drainPerByteMs, int wait), {
    Module.varnoSerial.drain(id, drainConstantMs, drainPerByteMs).then(function(drained) {
        Module._varno_serial_drained(wait, drained ? 1 : 0);
    });
});
// clang-format on

// An open device's state, as the page keeps it.
struct TWebDevice {
    int id = 0;
    std::string name;
    bool closed = false;
    bool lost = false;
    bool configured = false;
    uint32_t mask = 0;
    uint32_t errors = 0;
    std::string rx;  // received, not yet read
    std::string out; // written, not yet handed to the browser
    bool flushQueued = false;
    bool runStarted = false; // this run's first bytes have gone to the browser
    TCommState state;
    TCommTimeouts timeouts;
    TComm::TCommEvents events;
    std::function<uint32_t()> gapUs;
    long burstTimeout = 0;
};

struct TComm::Impl : TWebDevice {};

namespace {

// The open devices by the id WebSerial.js gave them.
std::map<int, TWebDevice*>& Open() {
    static std::map<int, TWebDevice*> open;
    return open;
}

TWebDevice* Find(int id) {
    auto it = Open().find(id);
    return it == Open().end() ? nullptr : it->second;
}

// The drains in progress by number, each with what to call once it ends.
std::map<int, std::function<void(bool)>>& Drains() {
    static std::map<int, std::function<void(bool)>> drains;
    return drains;
}

std::function<void(const std::string&)>& Note() {
    static std::function<void(const std::string&)> note;
    return note;
}

// The write time-out of a device as the browser's side takes it: a constant
// and a time per byte, each kept within bounds.
int WriteConstantMs(const TWebDevice& d) {
    return int(std::min<uint32_t>(d.timeouts.WriteTotalConstant, 10000));
}
int WritePerByteMs(const TWebDevice& d) {
    return int(std::min<uint32_t>(d.timeouts.WriteTotalMultiplier, 1000));
}

void CancelBurst(TWebDevice& d) {
    if (d.burstTimeout) emscripten_clear_timeout(d.burstTimeout);
    d.burstTimeout = 0;
}

// The line has been quiet for the gap: report what waits unread.
void ReportBurst(void* context) {
    const int id = int(reinterpret_cast<intptr_t>(context));
    TWebDevice* d = Find(id);
    if (!d) return;
    d->burstTimeout = 0;
    if (d->rx.empty() || !(d->mask & ev_rxchar) || !d->events) return;
    auto events = d->events; // the handler may close the device
    events(ev_rxchar, false);
}

void Flush(TWebDevice& d) {
    if (!d.out.empty())
        varno_serial_write(d.id, reinterpret_cast<const unsigned char*>(d.out.data()),
                           int(d.out.size()));
    d.out.clear();
}

} // namespace

extern "C" EMSCRIPTEN_KEEPALIVE void varno_serial_flush(int id) {
    if (TWebDevice* d = Find(id)) {
        d->flushQueued = false;
        d->runStarted = false;
        Flush(*d);
    }
}

// From WebSerial.js: bytes that arrived, and the loss of the device.
extern "C" EMSCRIPTEN_KEEPALIVE void varno_serial_received(int id, const char* data, int size) {
    TWebDevice* d = Find(id);
    if (!d || size <= 0) return;
    d->rx.append(data, std::size_t(size));
    if (!(d->mask & ev_rxchar) || !d->events) return;
    const uint32_t gap = d->gapUs ? d->gapUs() : 0;
    CancelBurst(*d);
    if (gap <= 1) {
        ReportBurst(reinterpret_cast<void*>(intptr_t(id)));
        return;
    }
    d->burstTimeout = emscripten_set_timeout(&ReportBurst, std::ceil(gap / 1000.0),
                                             reinterpret_cast<void*>(intptr_t(id)));
}

// A read error: the line error flags it stands for (none for another kind),
// and its name and message for the note.
extern "C" EMSCRIPTEN_KEEPALIVE void varno_serial_read_error(int id, int errors, const char* text) {
    TWebDevice* d = Find(id);
    if (!d) return;
    d->errors |= uint32_t(errors);
    if (Note()) Note()("read error on " + d->name + ": " + text);
}

extern "C" EMSCRIPTEN_KEEPALIVE void varno_serial_drained(int wait, int drained) {
    auto it = Drains().find(wait);
    if (it == Drains().end()) return;
    auto done = std::move(it->second);
    Drains().erase(it);
    done(drained != 0);
}

extern "C" EMSCRIPTEN_KEEPALIVE void varno_serial_lost(int id) {
    TWebDevice* d = Find(id);
    if (!d || d->lost) return;
    d->lost = true;
    CancelBurst(*d);
    if (auto events = d->events) events(0, true);
}

std::unique_ptr<TComm> TComm::Open(std::string_view portName) {
    const int number = PortNumber(portName);
    if (number == 0) return nullptr;
    const int id = varno_serial_open(number);
    if (id == 0) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->id = id;
    impl->name = "COM" + std::to_string(number);
    ::Open()[id] = impl.get();
    return std::unique_ptr<TComm>(new TComm(std::move(impl)));
}

TComm::TComm(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

TComm::~TComm() {
    Close();
}

bool TComm::GetState(TCommState& state) {
    if (impl_->closed) return false;
    state = impl_->state;
    return true;
}

// Web Serial offers 7 or 8 data bits, one or two stop bits, no, even or odd
// parity, and hardware flow control or none; the device is opened with the
// first settings given.
bool TComm::SetState(const TCommState& s) {
    Impl& d = *impl_;
    if (d.closed || d.lost) return false;
    if (s.BaudRate == 0 || (s.ByteSize != 7 && s.ByteSize != 8) || s.StopBits == one5stopbits ||
        s.Parity > evenparity || s.OutX || s.InX || s.OutxDsrFlow)
        return false;
    d.state = s;
    if (!d.configured) {
        d.configured = true;
        varno_serial_configure(d.id, int(s.BaudRate), s.ByteSize, s.StopBits == twostopbits ? 2 : 1,
                               s.Parity, 4096, s.DtrControl == dtr_control_enable,
                               s.RtsControl == rts_control_enable, s.OutxCtsFlow);
    }
    return true;
}

bool TComm::Setup(uint32_t, uint32_t) {
    return !impl_->closed;
}

bool TComm::SetTimeouts(const TCommTimeouts& timeouts) {
    if (impl_->closed) return false;
    impl_->timeouts = timeouts;
    return true;
}

bool TComm::SetMask(uint32_t mask) {
    if (impl_->closed) return false;
    impl_->mask = mask;
    if (!(mask & ev_rxchar)) CancelBurst(*impl_);
    return true;
}

bool TComm::Watch(TCommEvents events, std::function<uint32_t()> gapUs) {
    if (impl_->closed) return false;
    impl_->events = std::move(events);
    impl_->gapUs = std::move(gapUs);
    return true;
}

// The page cannot wait: its events come through Watch.
bool TComm::WaitEvent(uint32_t& events) {
    events = 0;
    return false;
}

bool TComm::WaitMoreInput(uint32_t) {
    return false;
}

uint32_t TComm::SupportedEvents() {
    return ev_rxchar;
}

bool TComm::ClearError(uint32_t& errors, uint32_t& inQueue) {
    if (impl_->closed) return false;
    errors = impl_->errors;
    impl_->errors = 0;
    inQueue = uint32_t(impl_->rx.size());
    return true;
}

// Web Serial reads the modem lines only asynchronously: they cannot be read
// here, as on a device without them.
bool TComm::GetModemStatus(uint32_t& status) {
    status = 0;
    return false;
}

// What has arrived, at once: the page cannot wait for more.
bool TComm::Read(std::string& out, std::size_t count) {
    out.clear();
    if (impl_->closed || impl_->lost) return false;
    const std::size_t n = std::min(count, impl_->rx.size());
    out = impl_->rx.substr(0, n);
    impl_->rx.erase(0, n);
    return true;
}

// A line starts sending with the first byte written, and carries it while
// the program writes the rest. So the first bytes of a run go to the browser
// as soon as there are enough of them to keep the line busy for the rest of
// the run (16 bytes are 4 ms at 38400 baud); the rest follows as one piece
// at the run's end. A short command still leaves whole.
bool TComm::Write(std::string_view bytes, std::size_t& written) {
    constexpr std::size_t kLineStart = 16;
    written = 0;
    if (impl_->closed || impl_->lost) return false;
    impl_->out.append(bytes);
    if (!impl_->flushQueued && !impl_->out.empty()) {
        impl_->flushQueued = true;
        varno_serial_queue_flush(impl_->id);
    }
    if (!impl_->runStarted && impl_->out.size() >= kLineStart) {
        impl_->runStarted = true;
        ::Flush(*impl_);
    }
    written = bytes.size();
    return true;
}

bool TComm::Purge(uint32_t flags) {
    if (impl_->closed) return false;
    if (flags & (purge_rxclear | purge_rxabort)) impl_->rx.clear();
    if (flags & purge_txclear) {
        impl_->out.clear();
        varno_serial_discard_output(impl_->id);
    }
    return true;
}

// The output drains in the close, which waits for it within the bound.
bool TComm::Flush() {
    return !impl_->closed && !impl_->lost;
}

void TComm::Close() {
    Impl& d = *impl_;
    if (d.closed) return;
    ::Flush(d); // what was written before the close still goes out
    d.closed = true;
    CancelBurst(d);
    d.events = nullptr;
    ::Open().erase(d.id);
    varno_serial_close(d.id, WriteConstantMs(d), WritePerByteMs(d));
}

void DrainSerialOutput(std::function<void(bool drained)> done) {
    // One drain per open device; done once all have ended, with whether
    // every one drained.
    struct TWait {
        int left = 0;
        bool drained = true;
        std::function<void(bool)> done;
    };
    auto wait = std::make_shared<TWait>();
    wait->done = std::move(done);
    static int next = 0;
    auto start = [&wait](int id, int constantMs, int perByteMs) {
        const int number = ++next;
        ++wait->left;
        Drains()[number] = [wait](bool drained) {
            wait->drained = wait->drained && drained;
            if (--wait->left == 0) wait->done(wait->drained);
        };
        varno_serial_drain(id, constantMs, perByteMs, number);
    };
    if (Open().empty()) {
        start(0, 0, 0); // no device: false, from the browser's loop too
        return;
    }
    for (auto& [id, d] : Open()) {
        ::Flush(*d); // what was written so far is handed over first
        start(id, WriteConstantMs(*d), WritePerByteMs(*d));
    }
}

void OnSerialNote(std::function<void(const std::string& text)> note) {
    Note() = std::move(note);
}
