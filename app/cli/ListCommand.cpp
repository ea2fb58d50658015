// list: every serial port, with its device, where a link leads, the USB
// adapter's details, and whether the user may open it.
#include "app/cli/Commands.h"
#include "app/cli/PortJobs.h"
#include "app/cli/SharedOptions.h"
#include "device/VisibleText.h"
#include "platform/PortAccess.h"
#include "platform/Ports.h"
#include "platform/UsbInfo.h"

#include <algorithm>
#include <filesystem>

namespace {

int ListCommand(TRun& run) {
    run.json.Add("command", std::string("list"));
    std::vector<TPortEntry> ports = ListPorts();
    std::string items = "[";
    for (const auto& port : ports) {
        TUsbInfo usb = UsbInfoFor(port.device);
        std::string line = port.name;
        line.resize(std::max<std::size_t>(line.size(), 7), ' ');
        line += port.device;
        // A port directory's link: show where it leads too.
        std::error_code ec;
        std::string target = std::filesystem::canonical(port.device, ec).string();
        if (!ec && target != port.device) line += " -> " + target;
        std::string item =
            "{\"port\": " + JsonString(port.name) + ", \"device\": " + JsonString(port.device);
        if (usb.usb) {
            line += "  USB " + usb.vendorId + ":" + usb.productId;
            // The adapter's own strings may hold anything.
            if (!usb.serial.empty()) line += " serial " + VisibleText(usb.serial);
            if (!usb.manufacturer.empty() || !usb.product.empty())
                line += " (" + VisibleText(usb.manufacturer) +
                        (usb.manufacturer.empty() ? "" : " ") + VisibleText(usb.product) + ")";
            item += ", \"usb\": {\"vendor\": " + JsonString(usb.vendorId) +
                    ", \"product\": " + JsonString(usb.productId) +
                    ", \"serial\": " + JsonString(usb.serial) +
                    ", \"manufacturer\": " + JsonString(usb.manufacturer) +
                    ", \"name\": " + JsonString(usb.product) + "}";
        }
        if (PortAccessDenied(port.device)) {
            line += "  no permission: " + AccessAdvice(port.device);
            item += ", \"no_permission\": true";
            std::string group = PortAccessGroup(port.device);
            if (!group.empty()) item += ", \"group\": " + JsonString(group);
        }
        Say(run, line);
        items += (items.size() > 1 ? ", " : "") + item + "}";
    }
    if (ports.empty()) Say(run, "no serial ports found");
    run.json.Add("result", std::string("success"));
    run.json.AddEncoded("ports", items + "]");
    return Finish(run, exit_ok, std::to_string(ports.size()) + " port(s)");
}

} // namespace

const TCliCommand& ListCommandRow() {
    static const TCliCommand row{
        .name = "list",
        .help = {0, "list", R"(list the serial ports: COM name, device path and, for
USB adapters, vendor:product, serial and maker; ports
you may not open are marked "no permission", with the
group to join)"},
        .options = {&kJsonOption},
        .run = ListCommand,
    };
    return row;
}
