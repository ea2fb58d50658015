// Writes the placeholder firmware image: 130,048 bytes from xorshift32.
//   state := 0x5641524E ("VARN"); for each byte:
//   state ^= state << 13; state ^= state >> 17; state ^= state << 5;
//   byte := state >> 24
// Usage: gen_image <output file>
#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_image <output file>\n");
        return 2;
    }
    const std::size_t kSize = 508 * 256;
    std::vector<unsigned char> bytes(kSize);
    uint32_t state = 0x5641524Eu;
    for (auto& b : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = (unsigned char)(state >> 24);
    }
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
        std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
