#include "platform/UsbInfo.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

TUsbInfo UsbInfoFor(const std::string& device) {
    TUsbInfo info;
    std::error_code ec;
    fs::path node = fs::canonical(device, ec);
    if (ec) return info;
    // /sys/class/tty/<name>/device leads into the device tree; the USB device
    // is the nearest parent that carries a vendor id.
    fs::path dev = fs::canonical(fs::path("/sys/class/tty") / node.filename() / "device", ec);
    if (ec) return info;
    fs::path driver = fs::canonical(dev / "driver", ec);
    for (fs::path p = dev; !p.empty() && p != p.root_path(); p = p.parent_path()) {
        if (!fs::exists(p / "idVendor", ec)) continue;
        info.usb = true;
        info.vendorId = ReadLine(p / "idVendor");
        info.productId = ReadLine(p / "idProduct");
        info.serial = ReadLine(p / "serial");
        info.manufacturer = ReadLine(p / "manufacturer");
        info.product = ReadLine(p / "product");
        if (!driver.empty()) info.driver = driver.filename().string();
        break;
    }
    return info;
}

std::string PortLocation(const std::string& device) {
    std::error_code ec;
    fs::path node = fs::canonical(device, ec);
    if (ec) return {};
    // udev's folder of links named by place; tests give one of their own.
    const char* places = std::getenv("VARNOMIKSAL_BY_PATH_DIR");
    for (const auto& entry : fs::directory_iterator(places ? places : "/dev/serial/by-path", ec)) {
        std::error_code ignored;
        if (fs::canonical(entry.path(), ignored) == node) return entry.path().filename().string();
    }
    return {};
}
