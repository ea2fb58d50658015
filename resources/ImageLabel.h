// The label of the firmware image the build embeds as STREAM0: the version
// text the vendor gave with the image, or the mark of the generated
// placeholder, which is no firmware at all. The window's version label, the
// command line and the packages all name the image from here.
#pragma once

#include <string>

struct TImageLabel {
    std::string version; // UTF-8, e.g. "8.4 (KMV-4)"; empty for the placeholder
    bool placeholder = true;
};

// Made at configure time (resources/ImageLabel.cmake).
const TImageLabel& EmbeddedImageLabel();

// The image as the command line names it: "firmware 8.4 (KMV-4)", or the
// placeholder's own name.
inline std::string ImageTitle(const TImageLabel& label) {
    return label.placeholder ? "placeholder image (not a firmware)" : "firmware " + label.version;
}

// The window's version label (UTF-8; the window takes it in Windows-1251).
inline std::string VersionLabelText(const TImageLabel& label) {
    return "Версия ПО для обновления:" +
           (label.placeholder ? std::string("нет (тестовый образ)") : label.version);
}
