// The image a write sends: the one the program carries, or a file given
// with --image, which must be exactly the size of an image.
#pragma once

#include "device/Protocol.h"

#include <cstdint>
#include <string>

inline constexpr std::size_t kImageFileBytes = kImageBytes;

struct TWriteImage {
    std::string bytes;
    std::string file;       // the file's name as given; empty for the carried image
    std::string title;      // how messages name it: the carried image's title, or the file's name
    std::string newVersion; // what the device will run: the version, or the file's name
    bool placeholder = false;
};

// Why the placeholder image is not written without --allow-placeholder.
inline const char* kPlaceholderRefused =
    "this build carries a placeholder image (not a firmware) instead of the vendor's firmware; "
    "build with the vendor's image (VARNO_FIRMWARE_IMAGE), give --image FILE, or give "
    "--allow-placeholder to write the placeholder to a test device";

// The image the program carries.
TWriteImage CarriedImage();
// The image a command is to use: the file given with --image, else the
// carried one; false with a message when the file will not do.
bool ChosenImage(const std::string& file, TWriteImage& image, std::string& error);
// The file `path`; false with a message when it cannot be read or its size
// is not kImageFileBytes.
bool ImageFromFile(const std::string& path, TWriteImage& image, std::string& error);

// The CRC-16/MODBUS of the bytes, as the device keeps it over the image: what
// it reports after the last block (with "FZ").
uint16_t ImageCrc16(const std::string& bytes);
