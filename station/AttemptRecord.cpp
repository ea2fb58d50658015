#include "station/AttemptRecord.h"

#include "runtime/JsonLine.h"
#include "runtime/JsonResult.h"

#include <cstdio>
#include <map>
#include <random>

std::string NewRecordId() {
    static thread_local std::mt19937_64 random{std::random_device{}() ^
                                               (std::uint64_t(std::random_device{}()) << 32)};
    std::uint64_t high = random(), low = random();
    high = (high & ~0xF000ull) | 0x4000ull;               // version 4
    low = (low & ~(0xC000ull << 48)) | (0x8000ull << 48); // the variant of RFC 4122
    char text[40];
    std::snprintf(text, sizeof text, "%08llx-%04llx-%04llx-%04llx-%012llx",
                  (unsigned long long)(high >> 32), (unsigned long long)((high >> 16) & 0xFFFF),
                  (unsigned long long)(high & 0xFFFF), (unsigned long long)(low >> 48),
                  (unsigned long long)(low & 0xFFFFFFFFFFFFull));
    return text;
}

std::string RecordLine(const TAttemptRecord& r) {
    TJsonResult json;
    json.Add("id", r.id);
    json.Add("start", r.start);
    json.Add("end", r.end);
    json.Add("host", r.host);
    json.Add("slot", r.slot);
    json.Add("port", r.port);
    if (!r.usb.empty()) json.Add("usb", r.usb);
    json.Add("device", r.device);
    json.Add("version", r.version);
    json.Add("image", r.image);
    json.Add("image_sha256", r.imageSha256);
    json.Add("result", r.result);
    if (!r.failure.empty()) json.Add("failure", r.failure);
    if (!r.message.empty()) json.Add("message", r.message);
    json.Add("blocks", r.blocks);
    json.AddReal("seconds", r.seconds);
    if (!r.tag.empty()) json.Add("tag", r.tag);
    return json.Text();
}

bool ParseRecordLine(const std::string& line, TAttemptRecord& r) {
    std::map<std::string, TJsonValue> o;
    if (!ParseJsonLine(line, o) || !o.count("result")) return false;
    r = TAttemptRecord();
    r.id = o["id"].text;
    r.start = o["start"].text;
    r.end = o["end"].text;
    r.host = o["host"].text;
    r.slot = o["slot"].text;
    r.port = o["port"].text;
    r.usb = o["usb"].text;
    r.device = o["device"].text;
    r.version = o["version"].text;
    r.image = o["image"].text;
    r.imageSha256 = o["image_sha256"].text;
    r.result = o["result"].text;
    r.failure = o["failure"].text;
    r.message = o["message"].text;
    r.blocks = (long long)o["blocks"].number;
    r.seconds = o["seconds"].number;
    r.tag = o["tag"].text;
    return true;
}
