#include "app/cli/StationText.h"

#include "app/cli/CliRun.h"
#include "device/VisibleText.h"

#include <algorithm>

namespace {

// A board's result in a word or two, for the slot's last board.
std::string LastResult(TSlotState state) {
    switch (state) {
    case TSlotState::passed:
        return "passed";
    case TSlotState::failed:
        return "failed";
    case TSlotState::wrong_device:
        return "wrong device";
    case TSlotState::returned:
        return "back in its bootloader";
    case TSlotState::interrupted:
        return "interrupted";
    case TSlotState::not_written:
        return "not written";
    default:
        return "seen";
    }
}

} // namespace

std::string StateText(const TSlotView& v) {
    switch (v.state) {
    case TSlotState::waiting:
        if (v.lastDevice.empty()) return "waiting for a device";
        return "waiting for a device (last: " + LastResult(v.lastState) + " " + v.lastDevice + " " +
               v.lastVersion + ")";
    case TSlotState::arrived:
        return "device arrived; waiting for its turn";
    case TSlotState::writing:
        return Format("writing %3d %%", v.percent);
    case TSlotState::passed:
        return "passed — remove the device";
    case TSlotState::failed:
        return "failed — reset or power-cycle the device";
    case TSlotState::wrong_device:
        return "wrong device — remove it";
    case TSlotState::returned:
        return "back in its bootloader after its start — check it, then remove it";
    case TSlotState::interrupted:
        return "interrupted — reset or power-cycle the device";
    case TSlotState::not_written:
        return "not written — the station stopped";
    case TSlotState::not_bootloader:
        return "something answers, but not a Varnomiksal bootloader";
    case TSlotState::missing:
        return "port missing";
    case TSlotState::unavailable:
        return v.note;
    }
    return "";
}

std::string SlotLines(const std::vector<std::pair<TSlotPlace, TSlotView>>& slots, int columns) {
    // The slots' names take at most a third of the line: a long place name
    // keeps only its end, where what tells sockets apart stands.
    const std::size_t widest = columns > 30 ? std::size_t(columns / 3) : 10;
    auto shortName = [&](const std::string& name) {
        return name.size() <= widest ? name : "…" + name.substr(name.size() - (widest - 1));
    };
    std::size_t width = 4;
    for (const auto& [p, v] : slots)
        width = std::max(width, Columns(shortName(p.name)));
    std::string text;
    for (const auto& [p, v] : slots) {
        const std::string name = shortName(p.name);
        std::string line = name + std::string(width - Columns(name) + 2, ' ');
        if (!p.usbSerial.empty()) line += p.usbSerial + "  ";
        line += StateText(v);
        if (!v.device.empty()) line += "  " + VisibleText(v.device) + " " + VisibleText(v.version);
        line += Format("  passed %d failed %d", v.passed, v.failed);
        text += line + "\n";
    }
    return text;
}

std::string EventLine(const TSlotPlace& place, const TSlotEvent& e) {
    std::string what;
    const std::string device = VisibleText(e.device) + ", firmware " + VisibleText(e.version);
    if (e.kind == "arrived")
        what = "arrived: " + device;
    else if (e.kind == "started")
        what = "writing";
    else if (e.kind == "progress")
        what = std::to_string(e.percent) + " %";
    else if (e.kind == "passed")
        what = Format("passed in %.1f s; remove the device", e.seconds);
    else if (e.kind == "failed")
        what = Format("failed at block %d: %s; reset or power-cycle the device",
                      std::min(e.blocks + 1, kImageBlocks), VisibleText(e.message).c_str());
    else if (e.kind == "interrupted")
        what = Format("interrupted at block %d; reset or power-cycle the device",
                      std::min(e.blocks + 1, kImageBlocks));
    else if (e.kind == "wrong-device")
        what = "wrong device: " + device + " (" + VisibleText(e.message) + "); remove it";
    else if (e.kind == "returned")
        what = "back in its bootloader: " + device + " (" + VisibleText(e.message) +
               "); check it, then remove it";
    else if (e.kind == "not-written")
        what = "not written: " + device + " (" + VisibleText(e.message) + ")";
    else if (e.kind == "unavailable")
        what = "the port cannot be opened: " + VisibleText(e.message);
    else if (e.kind == "left")
        what = "the device left";
    else if (e.kind == "missing")
        what = "the port is gone";
    else if (e.kind == "back")
        what = "the port is back";
    return place.name + ": " + what;
}

void AddPlace(TJsonResult& json, const TSlotPlace& place) {
    json.Add("slot", place.name);
    json.Add("port", place.port);
    if (!place.usb.empty()) json.Add("usb", place.usb);
}

void AddAttempt(TJsonResult& json, const TSlotEvent& e) {
    if (!e.device.empty() || !e.version.empty()) {
        json.Add("device", e.device);
        json.Add("version", e.version);
    }
    if (e.percent >= 0) json.Add("percent", (long long)e.percent);
    if (e.seconds >= 0) {
        json.Add("blocks", (long long)e.blocks);
        json.AddReal("seconds", e.seconds);
    }
    if (!e.failure.empty()) json.Add("failure", e.failure);
    if (!e.message.empty()) json.Add("message", e.message);
}
