// varnomiksal-sim: a fake Varnomiksal bootloader on a virtual serial port.
#include "platform/Ports.h"
#include "tools/simulator/DeviceSimulator.h"
#include "tools/simulator/SocketLine.h"
#include "tools/simulator/WebSocketLine.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

const char* kUsage = R"(Usage: varnomiksal-sim [options]

Starts a fake Varnomiksal bootloader on a virtual serial port and registers it
as COM<n> in the port directory, so that the updater lists it like a real port.
It answers "VERS", receives the firmware blocks, acknowledges each with the
running CRC-16/MODBUS, answers the last block with the CRC and "FZ", and accepts
"PUSK". At the end it reports what it received.

Options:
  --port N             register as COM<N> (default 200)
  --socket PATH        answer on the unix socket PATH instead of a port of its
                       own, e.g. a virtual machine's serial device (a QEMU
                       chardev socket started with server=on)
  --websocket PORT     answer on one WebSocket connection to 127.0.0.1:PORT
                       instead (0: any free port; the address is printed),
                       as the page's stand-in for Web Serial opens it
  --origin ORIGIN      with --websocket: take only pages of ORIGIN (as a
                       browser names it, e.g. http://127.0.0.1:8080); without
                       it, any page on the loopback address
  --port-dir DIR       the port directory (default: $VARNOMIKSAL_PORT_DIR, else
                       ${XDG_STATE_HOME:-~/.local/state}/varnomiksal/ports)
  --reply TEXT         the answer to "VERS" (default "VARNOMIKSAL VMX-1 8.3")
  --baud N             pace the device at N baud, 10 bits a byte (default: instant)
  --once               stop after "PUSK" or a hang-up (its own or the far end's)
  --wrong-crc-at K     acknowledge block K with a wrong CRC
  --split-ack-at K     send the acknowledgement of block K in two bursts
  --stray-at K         send stray bytes with the acknowledgement of block K
  --split-reply-at B   send the reply to "VERS" in two bursts, cut after byte B
  --silence-from K     acknowledge nothing from block K on
  --hangup-at K        hang up once block K has arrived
  --ordinary-last      acknowledge the last block like any other
  --dribble-us US      send every reply byte by byte, US microseconds apart
                       (for example 1000 to 20000 for 1 to 20 ms)
  --ack-split-ms MS    send every acknowledgement in two pieces, MS ms apart
                       (the final one cut between its CRC and "FZ")
  --stray-burst-at K   send a stray byte as a burst of its own, then the right
                       acknowledgement of block K
  --late-ack-at K      acknowledge block K late (see --late-ms)
  --late-ms MS         how late, in milliseconds (default 4500)
  --xoff-at K          send XOFF, then the acknowledgement of block K: a port
                       with XON/XOFF output flow stops writing
  --reset-after-ms MS  after MS ms without a byte in the middle of a transfer,
                       return to the bootloader's start (drop the partial
                       image, answer "VERS" again), as a bootloader's watchdog
                       may; without it an interrupted transfer waits for ever
  --hold-ms MS         hold every reply for up to MS ms unless 62 bytes are
                       waiting, as a USB adapter's latency timer does (an
                       FTDI adapter's is 16 ms unless low latency is set)
  --reply-after-ms MS  answer "VERS" MS ms after it came, as behind an adapter
                       that holds every reply for its whole latency timer
  --restart-after-pusk-ms MS
                       MS ms after "PUSK", return to the bootloader's start,
                       as a device that was reset: the next write works too
  --ports A-B          one device on each of the ports COM<A> to COM<B>
                       (instead of --port), each with the options given
  --day LIST           a fixture's day: devices seated one after another,
                       separated by ';', each a list of words separated by
                       ',': ok, bounce (the contact bounces on arrival),
                       stays (answers "VERS" after "PUSK"), doubled (its
                       first answer comes twice in one burst), other=TEXT (a
                       device not to be written, answering TEXT; removed
                       after its first answer), reply=TEXT, wrong-crc-at=K,
                       silence-from=K, swap=MS (seated MS after the one
                       before left). A device is removed --leave-ms after
                       "PUSK", its fault or (other) its first answer; the
                       slot then stays empty --swap-ms before the next
  --leave-ms MS        (default 500)
  --swap-ms MS         (default 1500)
  --bounce-ms MS       how long a bouncing contact hears nothing (default 150)
  --unwritten-leave-ms MS
                       remove a device of the day that has had no image byte
                       MS ms after its first answer (default: it stays)
  --strict             a bootloader that answers "VERS" once: every byte after
                       its answer, a second "VERS" included, is image data
  --report FILE        at the end, write one JSON line per device of the day
                       (per port): port, vers, received, matches, wrong_crcs,
                       pusk, image_begun (the image's first bytes came),
                       whole_images (times the whole image came)
  --help               show this text
Blocks count from 0 to 507. With --day the program ends once every port's
day is over.
)";

bool IntArg(int& i, int argc, char** argv, int& out) {
    if (i + 1 >= argc) return false;
    char* end = nullptr;
    long v = std::strtol(argv[++i], &end, 10);
    if (*end != 0) return false;
    out = int(v);
    return true;
}

// An option followed by a whole number: where the number goes, and whether
// it must be 0 or more.
struct TNumberOption {
    const char* name;
    int* value;
    bool atLeastZero;
};

template <std::size_t N>
const TNumberOption* NumberOption(const TNumberOption (&options)[N], const std::string& name) {
    for (const auto& o : options)
        if (name == o.name) return &o;
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    SimConfig config;
    config.faults.lateAckMs = 4500;
    int port = 200;
    bool once = false;
    std::string dir = PortDirectory();
    std::string socketPath;
    int webSocketPort = -1;
    const TNumberOption numbers[] = {
        {"--baud", &config.baud, true},
        {"--wrong-crc-at", &config.faults.wrongCrcAt, false},
        {"--split-ack-at", &config.faults.splitAckAt, false},
        {"--stray-at", &config.faults.strayAt, false},
        {"--split-reply-at", &config.faults.splitReplyAt, false},
        {"--silence-from", &config.faults.silenceFrom, false},
        {"--hangup-at", &config.faults.hangupAt, false},
        {"--dribble-us", &config.dribbleUs, true},
        {"--ack-split-ms", &config.faults.ackSplitMs, true},
        {"--stray-burst-at", &config.faults.strayBurstAt, false},
        {"--late-ack-at", &config.faults.lateAckAt, false},
        {"--xoff-at", &config.faults.xoffAt, false},
        {"--reset-after-ms", &config.resetAfterMs, true},
        {"--restart-after-pusk-ms", &config.restartAfterPuskMs, true},
        {"--hold-ms", &config.holdMs, true},
        {"--reply-after-ms", &config.replyAfterMs, true},
        {"--late-ms", &config.faults.lateAckMs, true},
        {"--leave-ms", &config.leaveMs, true},
        {"--swap-ms", &config.swapMs, true},
        {"--bounce-ms", &config.bounceMs, true},
        {"--unwritten-leave-ms", &config.unwrittenLeaveMs, true},
    };
    int lastPort = 0;
    std::string reportFile;
    std::string origin;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool ok = true;
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--port") {
            ok = IntArg(i, argc, argv, port) && port >= 1 && port <= 255;
        } else if (a == "--socket" && i + 1 < argc) {
            socketPath = argv[++i];
        } else if (a == "--websocket") {
            ok = IntArg(i, argc, argv, webSocketPort) && webSocketPort >= 0 &&
                 webSocketPort <= 65535;
        } else if (a == "--origin" && i + 1 < argc) {
            origin = argv[++i];
            ok = !origin.empty();
        } else if (a == "--port-dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (a == "--reply" && i + 1 < argc) {
            config.reply = argv[++i];
        } else if (a == "--ports" && i + 1 < argc) {
            ok = std::sscanf(argv[++i], "%d-%d", &port, &lastPort) == 2 && port >= 1 &&
                 lastPort >= port && lastPort <= 255;
        } else if (a == "--day" && i + 1 < argc) {
            ok = ParseSimDay(argv[++i], config.day);
        } else if (a == "--report" && i + 1 < argc) {
            reportFile = argv[++i];
        } else if (a == "--strict") {
            config.strict = true;
        } else if (a == "--once") {
            once = true;
        } else if (a == "--ordinary-last") {
            config.faults.ordinaryLast = true;
        } else if (const TNumberOption* o = NumberOption(numbers, a)) {
            ok = IntArg(i, argc, argv, *o->value) && (!o->atLeastZero || *o->value >= 0);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "varnomiksal-sim: bad option %s (see --help)\n", a.c_str());
            return 2;
        }
    }
    if (dir.empty()) {
        std::fprintf(stderr, "varnomiksal-sim: no port directory: give --port-dir\n");
        return 2;
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (lastPort == 0) lastPort = port;
    std::vector<std::unique_ptr<DeviceSimulator>> sims;
    std::string error;
    if (webSocketPort >= 0) {
        // The address goes out first: the page's bridge reads it, and only
        // then can the stand-in connect.
        constexpr int wait_ms = 30000;
        auto socket = std::make_unique<SocketLine>();
        bool listening = socket->Listen(webSocketPort, error);
        if (listening) {
            std::printf("varnomiksal-sim: on ws://127.0.0.1:%d/\n", socket->Port());
            std::fflush(stdout);
        }
        std::unique_ptr<WebSocketLine> line;
        if (listening && socket->Accept(wait_ms, error)) {
            line = std::make_unique<WebSocketLine>(std::move(socket), origin);
            if (!line->Handshake(wait_ms, error)) line.reset();
        }
        if (!line) {
            std::fprintf(stderr, "varnomiksal-sim: %s\n", error.c_str());
            return 1;
        }
        sims.push_back(std::make_unique<DeviceSimulator>(config));
        sims.back()->Start(std::move(line));
        lastPort = port;
    } else if (!socketPath.empty()) {
        auto line = std::make_unique<SocketLine>();
        if (!line->Connect(socketPath, error)) {
            std::fprintf(stderr, "varnomiksal-sim: %s\n", error.c_str());
            return 1;
        }
        sims.push_back(std::make_unique<DeviceSimulator>(config));
        sims.back()->Start(std::move(line));
        std::printf("varnomiksal-sim: on %s\n", socketPath.c_str());
        lastPort = port;
    } else {
        for (int n = port; n <= lastPort; ++n) {
            sims.push_back(std::make_unique<DeviceSimulator>(config));
            if (!sims.back()->Start(dir, n, error)) {
                std::fprintf(stderr, "varnomiksal-sim: %s\n", error.c_str());
                return 1;
            }
            std::printf("varnomiksal-sim: COM%d -> %s (in %s)\n", n,
                        sims.back()->DevicePath().c_str(), dir.c_str());
        }
    }
    std::fflush(stdout);
    // A day ends when every port has had its last device removed.
    auto dayOver = [&] {
        for (const auto& sim : sims)
            if (!sim->DayOver()) return false;
        return true;
    };
    DeviceSimulator& sim = *sims.front();
    while (!g_stop) {
        if (!config.day.empty() && dayOver()) break;
        if (once &&
            sim.WaitFor([](const SimReport& r) { return r.pusk || r.hungUp || r.lineLost; }, 100))
            break;
        if (!once) usleep(100000);
    }
    for (auto& s : sims)
        s->Stop();
    if (!reportFile.empty()) {
        std::FILE* f = std::fopen(reportFile.c_str(), "w");
        for (std::size_t k = 0; f && k < sims.size(); ++k)
            for (const SimReport& r : sims[k]->Seatings())
                std::fprintf(f,
                             "{\"port\": %d, \"vers\": %d, \"received\": %zu, \"matches\": %s, "
                             "\"wrong_crcs\": %d, \"pusk\": %s, \"image_begun\": %s, "
                             "\"whole_images\": %d}\n",
                             port + int(k), r.versRequests, r.received,
                             r.matchesImage ? "true" : "false", r.wrongCrcs,
                             r.pusk ? "true" : "false", r.imageBegun ? "true" : "false",
                             r.wholeImages);
        if (f) std::fclose(f);
    }
    if (sims.size() > 1 || !config.day.empty()) return 0;
    SimReport r = sim.Report();
    std::printf("received %zu bytes (%zu beyond the image), CRC %04X\n", r.received, r.beyondImage,
                r.crc);
    std::printf("image %s\n", r.matchesImage ? "matches the embedded image" : "does not match");
    std::printf("VERS requests %d, blocks acknowledged %d, final acknowledgement %s\n",
                r.versRequests, r.blocksAcknowledged, r.finalSent ? "sent" : "not sent");
    std::printf("PUSK %s%s\n", r.pusk ? "received" : "not received",
                r.hungUp ? " (line hung up)" : "");
    if (config.resetAfterMs >= 0) std::printf("returned to the start %d time(s)\n", r.resets);
    return 0;
}
