#include "ReferenceUploader.h"

#include "device/Protocol.h"
#include "platform/Comm.h"
#include "platform/Resources.h"
#include "testing/Crc16.h"
#include "testing/platform/EightNoneOne.h"

#include <cstdio>

namespace {

// Reads until `count` bytes have arrived or the line is gone.
std::string ReadExactly(TComm& comm, std::size_t count) {
    std::string got;
    while (got.size() < count) {
        uint32_t events = 0, errors = 0, waiting = 0;
        if (!comm.WaitEvent(events) || !comm.ClearError(errors, waiting)) break;
        std::string part;
        if (waiting > 0 && comm.Read(part, waiting)) got += part;
    }
    return got;
}

} // namespace

std::string ReferenceUpload(const std::string& port) {
    TResourceData image;
    if (!FindResourceData("STREAM0", rt_stream, image)) return "no embedded image";
    auto comm = TComm::Open(port);
    if (!comm) return "cannot open " + port;
    SetEightNoneOne(*comm, kProgramLine.BaudRate);
    TCommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = comm_maxdword;
    timeouts.WriteTotalConstant = 1000;
    timeouts.WriteTotalMultiplier = 100;
    comm->SetTimeouts(timeouts);
    comm->SetMask(ev_rxchar);

    std::size_t written = 0;
    comm->Write(kIdentifyCommand, written);
    if (ReadExactly(*comm, 1).empty()) return "no reply to VERS";

    uint16_t crc = 0xFFFF;
    const std::size_t blocks = image.size / 256;
    for (std::size_t b = 0; b < blocks; ++b) {
        std::string_view block(reinterpret_cast<const char*>(image.data) + b * 256, 256);
        if (!comm->Write(block, written) || written != block.size())
            return "write failed at block " + std::to_string(b);
        crc = Crc16Modbus(block.data(), block.size(), crc);
        std::string expect = {char(crc >> 8), char(crc & 0xFF)};
        if (b + 1 == blocks) expect += "FZ";
        if (ReadExactly(*comm, expect.size()) != expect)
            return "bad acknowledgement of block " + std::to_string(b);
    }
    comm->Write(kStartCommand, written);
    return "";
}
