// The far end of a virtual null-modem cable. The cables are made outside the
// program (tools/nullmodem makes them for a wine prefix); this side opens the
// cable's other port through the comm layer, and announces the program's end
// in the registry's list of serial ports, as a driver does.
#include "testing/platform/VirtualPort.h"
#include "testing/platform/EightNoneOne.h"

#include <windows.h>

namespace {

const wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::wstring ValueName(int number) {
    return L"\\Device\\VarnoCable" + std::to_wstring(number);
}

// Announces COM<number>, or (with an empty port) withdraws it.
void Announce(int number, const std::wstring& port) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (port.empty())
        RegDeleteValueW(key, ValueName(number).c_str());
    else
        RegSetValueExW(key, ValueName(number).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(port.c_str()),
                       DWORD((port.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

} // namespace

TVirtualPort::~TVirtualPort() {
    Unregister();
    HangUp();
}

bool TVirtualPort::Open(std::string&) {
    return true; // the cable exists already; Register picks it by number
}

bool TVirtualPort::Register(const std::string&, int number, std::string& error) {
    const std::string farEnd = "COM" + std::to_string(number + cable_offset);
    cable_ = TComm::Open(farEnd);
    if (!cable_) {
        error = "no virtual null-modem cable for COM" + std::to_string(number) + " (" + farEnd +
                " cannot be opened)";
        return false;
    }
    SetEightNoneOne(*cable_, 115200);
    cable_->Purge(purge_rxclear | purge_txclear);
    devicePath_ = "\\\\.\\COM" + std::to_string(number);
    Announce(number, L"COM" + std::to_wstring(number));
    number_ = number;
    return true;
}

void TVirtualPort::Unregister() {
    if (number_ != 0) Announce(number_, L"");
    number_ = 0;
}

long TVirtualPort::Read(uint8_t* buffer, std::size_t size, int timeoutMs) {
    if (!cable_) return -1;
    // Return with the first bytes, or at the time-out.
    TCommTimeouts t;
    t.ReadIntervalTimeout = comm_maxdword;
    t.ReadTotalMultiplier = comm_maxdword;
    t.ReadTotalConstant = timeoutMs > 0 ? uint32_t(timeoutMs) : 1;
    cable_->SetTimeouts(t);
    std::string got;
    if (!cable_->Read(got, size)) return -1;
    got.copy(reinterpret_cast<char*>(buffer), got.size());
    return long(got.size());
}

bool TVirtualPort::Write(const void* data, std::size_t size) {
    if (!cable_) return false;
    std::size_t written = 0;
    return cable_->Write(std::string_view(static_cast<const char*>(data), size), written) &&
           written == size;
}

void TVirtualPort::HangUp() {
    cable_.reset();
}

void TVirtualPort::Wake() {
    if (cable_) cable_->Purge(purge_rxabort);
}

bool TVirtualPort::HeldLineState(TCommState&) const {
    return false; // the program holds its port exclusively
}

bool TVirtualPort::IsCable() {
    return true;
}
