// Prints the size and CRC-16/MODBUS of the firmware image the program
// carries (the resource STREAM0), or of the files given on the command line,
// so that uploads can be checked against it.
//   imagecrc            ->  STREAM0 130048 bytes CRC-16/MODBUS 1234
//   imagecrc FILE...    ->  FILE 130048 bytes CRC-16/MODBUS 1234
#include "device/Protocol.h"
#include "elements/MemStream.h"
#include "testing/Crc16.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

void Print(const char* name, const unsigned char* data, std::size_t size) {
    std::printf("%s %zu bytes CRC-16/MODBUS %04X\n", name, size, Crc16Modbus(data, size));
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 1) {
        auto image = LoadStreamResource("STREAM0");
        Print("STREAM0", image->Data(), std::size_t(image->Size()));
        return image->Size() == kImageBytes ? 0 : 1;
    }
    int status = 0;
    for (int k = 1; k < argc; ++k) {
        std::ifstream in(argv[k], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "imagecrc: cannot read %s\n", argv[k]);
            status = 1;
            continue;
        }
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Print(argv[k], reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }
    return status;
}
