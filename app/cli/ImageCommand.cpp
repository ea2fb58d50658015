// image: what the program carries (or the file --image names): its version,
// size, the CRC-16 the device reports after the last block, and SHA-256.
#include "app/cli/Commands.h"
#include "app/cli/ImageFile.h"
#include "app/cli/Sha256.h"
#include "app/cli/SharedOptions.h"

namespace {

int ImageCommand(TRun& run) {
    run.json.Add("command", std::string("image"));
    TWriteImage image;
    std::string error;
    if (!ChosenImage(run.options.imageFile, image, error)) return Fail(run, exit_usage, error);
    std::string crc = Format("%04X", ImageCrc16(image.bytes));
    std::string sha = Sha256Hex(image.bytes);
    if (image.file.empty()) {
        Say(run, "Image:    " + image.title);
        run.json.Add("image_version", image.newVersion);
        run.json.Add("image_placeholder", image.placeholder);
    } else {
        Say(run, "Image:    " + image.file);
        run.json.Add("image_file", image.file);
    }
    Say(run, "Size:     " + std::to_string(image.bytes.size()) + " bytes in " +
                 std::to_string(image.bytes.size() / 256) + " blocks");
    Say(run,
        "CRC-16:   " + crc + " (the device answers the last block with " + crc + " and \"FZ\")");
    Say(run, "SHA-256:  " + sha);
    run.json.Add("bytes", (long long)image.bytes.size());
    run.json.Add("crc16", crc);
    run.json.Add("sha256", sha);
    run.json.Add("result", std::string("success"));
    return Finish(run, exit_ok, image.title + " " + sha);
}

} // namespace

const TCliCommand& ImageCommandRow() {
    static const TCliCommand row{
        .name = "image",
        .help = {0, "image", R"(show the image: version, size, the CRC-16 the device
reports after the last block, and SHA-256)"},
        .options = {&kImageOption, &kJsonOption},
        .run = ImageCommand,
    };
    return row;
}
