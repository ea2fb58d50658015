// CRC throughput as the upload computes it: one image byte per call, turned
// into hexadecimal digits, fed to TQeCRC16_32 (hex input, table rebuilt on
// every call) with the previous result as the initial value. Compared with
// the same element fed whole blocks, and with a plain table-driven CRC.
#include "device/Protocol.h"
#include "elements/MemStream.h"
#include "elements/qeCRC16_32.h"
#include "elements/qeConvertor.h"
#include "runtime/Share.h"
#include "testing/Crc16.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Holds the running CRC text: the element's result in, its initial value out.
struct TCrcText : TQeElement {
    TData text;
    void in(TData& d, uint16_t) { text = d; }
    void val(TData& d, uint16_t) { d = text; }
};

struct TResult {
    double seconds;
    std::string crc;
};

// The upload's CRC-16/MODBUS: each result goes back in as the next initial
// value, through `running`.
void RunningCrc(TQeCRC16_32& crc, TCrcText& running) {
    crc.Polynomial = "$A001";
    crc.Init = "$FFFF";
    SetString(running.text, "FFFF");
    crc.srcInit = MakeLink<&TCrcText::val>(0, &running);
    crc.onResult = MakeLink<&TCrcText::in>(0, &running);
}

TResult PerByte(const TMemStream& image) {
    TQeConvertor toHex;
    toHex.Mode = conv_int_to_hex;
    toHex.Digits = 1;
    TQeCRC16_32 crc;
    crc.InputMode = crc_input_hex;
    TCrcText running;
    RunningCrc(crc, running);
    toHex.onResult = MakeLink<&TQeCRC16_32::inCalc>(0, &crc);
    TEventLink start = MakeLink<&TQeConvertor::inConvert>(0, &toHex);
    auto t0 = Clock::now();
    for (int32_t k = 0; k < image.Size(); ++k)
        FireInteger(start, image.Data()[k]);
    double s = std::chrono::duration<double>(Clock::now() - t0).count();
    return {s, ToString(running.text)};
}

TResult PerBlock(const TMemStream& image) {
    TQeCRC16_32 crc;
    TCrcText running;
    RunningCrc(crc, running);
    TEventLink calc = MakeLink<&TQeCRC16_32::inCalc>(0, &crc);
    auto t0 = Clock::now();
    for (int32_t k = 0; k < image.Size(); k += 256)
        FireString(calc, std::string(reinterpret_cast<const char*>(image.Data()) + k, 256));
    double s = std::chrono::duration<double>(Clock::now() - t0).count();
    return {s, ToString(running.text)};
}

TResult Plain(const TMemStream& image) {
    auto t0 = Clock::now();
    uint16_t c = 0xFFFF;
    for (int r = 0; r < 100; ++r)
        c = Crc16Modbus(image.Data(), std::size_t(image.Size()));
    double s = std::chrono::duration<double>(Clock::now() - t0).count() / 100;
    char text[5];
    std::snprintf(text, sizeof text, "%04X", c);
    return {s, text};
}

void Report(const char* what, const TResult& best, double bytes) {
    std::printf("%-44s %10.3f ms  %12.0f bytes/s  CRC %s\n", what, best.seconds * 1e3,
                bytes / best.seconds, best.crc.c_str());
}

} // namespace

int main() {
    EnableDispatch();
    auto image = LoadStreamResource("STREAM0");
    const double bytes = image->Size();
    std::printf("image: %d bytes\n", image->Size());
    TResult perByte{1e9, ""}, perBlock{1e9, ""}, plain{1e9, ""};
    for (int run = 0; run < 5; ++run) {
        TResult a = PerByte(*image), b = PerBlock(*image), c = Plain(*image);
        if (a.seconds < perByte.seconds) perByte = a;
        if (b.seconds < perBlock.seconds) perBlock = b;
        if (c.seconds < plain.seconds) plain = c;
    }
    Report("TQeCRC16_32, 1 byte/call as hex (upload)", perByte, bytes);
    Report("TQeCRC16_32, 256 bytes/call", perBlock, bytes);
    Report("Crc16Modbus, whole image", plain, bytes);
    std::printf("per-byte call: %.2f us; image at %d baud takes %.1f s on the line\n",
                perByte.seconds / bytes * 1e6, kProgramLine.BaudRate,
                bytes * kLineBitsPerCharacter / kProgramLine.BaudRate);
    bool same = perByte.crc == plain.crc && perBlock.crc == plain.crc;
    std::printf("results agree: %s\n", same ? "yes" : "NO");
    DisableDispatch();
    return same ? 0 : 1;
}
