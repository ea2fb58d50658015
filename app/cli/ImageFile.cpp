#include "app/cli/ImageFile.h"

#include "elements/MemStream.h"
#include "resources/ImageLabel.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

TWriteImage CarriedImage() {
    const TImageLabel& label = EmbeddedImageLabel();
    TWriteImage image;
    auto stream = LoadStreamResource("STREAM0", 100);
    image.bytes.assign(reinterpret_cast<const char*>(stream->Data()), std::size_t(stream->Size()));
    image.title = ImageTitle(label);
    image.newVersion = label.placeholder ? ImageTitle(label) : label.version;
    image.placeholder = label.placeholder;
    return image;
}

bool ChosenImage(const std::string& file, TWriteImage& image, std::string& error) {
    if (!file.empty()) return ImageFromFile(file, image, error);
    image = CarriedImage();
    return true;
}

bool ImageFromFile(const std::string& path, TWriteImage& image, std::string& error) {
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        error = path + ": cannot read the image file (" + ec.message() + ")";
        return false;
    }
    if (size != kImageFileBytes) {
        error = path + " is " + std::to_string(size) + " bytes; an image must be exactly " +
                std::to_string(kImageFileBytes) + " bytes (" + std::to_string(kImageBlocks) +
                " blocks of " + std::to_string(kBlockBytes) + ")";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    image.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        error = path + ": cannot read the image file";
        return false;
    }
    if (image.bytes.size() != kImageFileBytes) {
        error = path + " changed while it was read";
        return false;
    }
    image.file = path;
    image.title = std::filesystem::path(path).filename().string();
    image.newVersion = image.title;
    image.placeholder = false;
    return true;
}

uint16_t ImageCrc16(const std::string& bytes) {
    uint16_t crc = 0xFFFF;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}
