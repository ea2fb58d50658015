// varnomiksal-sim: a fake Varnomiksal bootloader on a virtual serial port.
#include "platform/Ports.h"
#include "tools/simulator/DeviceSimulator.h"
#include "tools/simulator/SocketLine.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

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
  --port-dir DIR       the port directory (default: $VARNOMIKSAL_PORT_DIR, else
                       ${XDG_STATE_HOME:-~/.local/state}/varnomiksal/ports)
  --reply TEXT         the answer to "VERS" (default "VARNOMIKSAL VMX-1 8.3")
  --baud N             pace the device at N baud, 10 bits a byte (default: instant)
  --once               stop after "PUSK" or a hang-up
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
  --help               show this text
Blocks count from 0 to 507.
)";

bool IntArg(int& i, int argc, char** argv, int& out) {
    if (i + 1 >= argc) return false;
    char* end = nullptr;
    long v = std::strtol(argv[++i], &end, 10);
    if (*end != 0) return false;
    out = int(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    SimConfig config;
    config.faults.lateAckMs = 4500;
    int port = 200;
    bool once = false;
    std::string dir = PortDirectory();
    std::string socketPath;
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
        } else if (a == "--port-dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (a == "--reply" && i + 1 < argc) {
            config.reply = argv[++i];
        } else if (a == "--baud") {
            ok = IntArg(i, argc, argv, config.baud) && config.baud >= 0;
        } else if (a == "--once") {
            once = true;
        } else if (a == "--wrong-crc-at") {
            ok = IntArg(i, argc, argv, config.faults.wrongCrcAt);
        } else if (a == "--split-ack-at") {
            ok = IntArg(i, argc, argv, config.faults.splitAckAt);
        } else if (a == "--stray-at") {
            ok = IntArg(i, argc, argv, config.faults.strayAt);
        } else if (a == "--split-reply-at") {
            ok = IntArg(i, argc, argv, config.faults.splitReplyAt);
        } else if (a == "--silence-from") {
            ok = IntArg(i, argc, argv, config.faults.silenceFrom);
        } else if (a == "--hangup-at") {
            ok = IntArg(i, argc, argv, config.faults.hangupAt);
        } else if (a == "--ordinary-last") {
            config.faults.ordinaryLast = true;
        } else if (a == "--dribble-us") {
            ok = IntArg(i, argc, argv, config.dribbleUs) && config.dribbleUs >= 0;
        } else if (a == "--ack-split-ms") {
            ok = IntArg(i, argc, argv, config.faults.ackSplitMs) && config.faults.ackSplitMs >= 0;
        } else if (a == "--stray-burst-at") {
            ok = IntArg(i, argc, argv, config.faults.strayBurstAt);
        } else if (a == "--late-ack-at") {
            ok = IntArg(i, argc, argv, config.faults.lateAckAt);
        } else if (a == "--xoff-at") {
            ok = IntArg(i, argc, argv, config.faults.xoffAt);
        } else if (a == "--reset-after-ms") {
            ok = IntArg(i, argc, argv, config.resetAfterMs) && config.resetAfterMs >= 0;
        } else if (a == "--late-ms") {
            ok = IntArg(i, argc, argv, config.faults.lateAckMs) && config.faults.lateAckMs >= 0;
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
    DeviceSimulator sim(config);
    std::string error;
    if (!socketPath.empty()) {
        auto line = std::make_unique<SocketLine>();
        if (!line->Connect(socketPath, error)) {
            std::fprintf(stderr, "varnomiksal-sim: %s\n", error.c_str());
            return 1;
        }
        sim.Start(std::move(line));
        std::printf("varnomiksal-sim: on %s\n", socketPath.c_str());
    } else if (!sim.Start(dir, port, error)) {
        std::fprintf(stderr, "varnomiksal-sim: %s\n", error.c_str());
        return 1;
    } else {
        std::printf("varnomiksal-sim: COM%d -> %s (in %s)\n", port, sim.DevicePath().c_str(),
                    dir.c_str());
    }
    std::fflush(stdout);
    while (!g_stop) {
        if (once && sim.WaitFor([](const SimReport& r) { return r.pusk || r.hungUp; }, 100)) break;
        if (!once) usleep(100000);
    }
    sim.Stop();
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
