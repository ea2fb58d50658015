// The bootloader's protocol as this program speaks it, in one place: the
// line the port is given, the commands, the replies' shapes, the image's
// blocks and the time-outs. The port's structures (TQeComAsync, TCommState)
// carry no protocol values of their own; the device session gives the port
// these.
#pragma once

#include "platform/Comm.h"

#include <cstdint>

// The line settings the program gives its serial port, by the port's
// property names (serial/qeComAsync.h): 38462 baud, 8 data bits, no parity,
// one stop bit, no flow control, abort on error, 4096-byte queues, received
// characters watched, reads that return at once, writes bounded by 1000 ms
// plus 100 ms a byte, and only openable ports listed.
struct TProgramLine {
    int32_t BaudRate;
    int32_t Parity;
    int32_t DataBits; // bits per character less 5
    int32_t StopBits;
    int32_t EventChar;
    bool DiscardNull;
    bool AbortOnError;
    bool ParityCheck;
    bool ReplaceErrors;
    int32_t ErrorChar;
    bool DsrSensitivity;
    bool CtsFlow;
    bool DsrFlow;
    bool TxContinueOnXoff;
    int32_t XoffChar;
    int32_t XonChar;
    bool XonXoffIn;
    bool XonXoffOut;
    int32_t InBufferSize;
    int32_t OutBufferSize;
    int32_t RtsControl;
    int32_t DtrControl;
    bool EvRxChar;
    uint32_t ReadIntervalTimeout;
    uint32_t ReadTotalConstant;
    uint32_t ReadTotalMultiplier;
    uint32_t WriteTotalConstant;
    uint32_t WriteTotalMultiplier;
    bool CheckPorts;
    bool FlushOnClose;
};

inline constexpr TProgramLine kProgramLine{
    .BaudRate = 38462,
    .Parity = noparity,
    .DataBits = databits8,
    .StopBits = onestopbit,
    .EventChar = 0,
    .DiscardNull = false,
    .AbortOnError = true,
    .ParityCheck = false,
    .ReplaceErrors = false,
    .ErrorChar = 0,
    .DsrSensitivity = false,
    .CtsFlow = false,
    .DsrFlow = false,
    .TxContinueOnXoff = false,
    .XoffChar = 19,
    .XonChar = 17,
    .XonXoffIn = false,
    .XonXoffOut = false,
    .InBufferSize = 4096,
    .OutBufferSize = 4096,
    .RtsControl = rts_control_disable,
    .DtrControl = dtr_control_disable,
    .EvRxChar = true,
    .ReadIntervalTimeout = comm_maxdword,
    .ReadTotalConstant = 0,
    .ReadTotalMultiplier = 0,
    .WriteTotalConstant = 1000,
    .WriteTotalMultiplier = 100,
    .CheckPorts = true,
    .FlushOnClose = false,
};

// Bits a character takes on the line: a start bit, 8 data bits, a stop bit.
inline constexpr int kLineBitsPerCharacter = 10;

// The commands: who are you, and start the new firmware.
inline constexpr char kIdentifyCommand[] = "VERS";
inline constexpr char kStartCommand[] = "PUSK";
inline constexpr int kStartCommandLength = int(sizeof kStartCommand) - 1;

// The identification reply: "VARNOMIKSAL <device> <version>".
inline constexpr char kReplySignature[] = "VARNOMIKSAL";
inline constexpr char kReplyDelimiter[] = " ";

// The acknowledgements: "SZ" or "FZ" (the last block's) with the running
// CRC. The final one's mask is the CRC's text followed by "FZ" in
// hexadecimal.
inline constexpr char kBlockAck[] = "SZ";
inline constexpr char kFinalAck[] = "FZ";
inline constexpr char kFinalAckHex[] = "465A";

// The running CRC: CRC-16 with the reflected polynomial 0xA001 from 0xFFFF.
inline constexpr char kCrcPolynomial[] = "$A001";
inline constexpr char kCrcInit[] = "$FFFF";

// The image: 508 blocks of 256 bytes.
inline constexpr int kBlockBytes = 256;
inline constexpr int kImageBlocks = 508;
inline constexpr int kImageBytes = kImageBlocks * kBlockBytes;

// Time-outs. The identification reply is joined for up to a second from its
// first byte; a port where nothing answers says so after 3 s. Identify
// waits for the answer to "VERS" 3 s on a port the user named, and 1 s on
// each port when every port is asked (auto-detection).
inline constexpr int kReplyWaitMs = 1000;
inline constexpr int kProbeSilenceMs = 3000;
inline constexpr int kIdentifyTimeoutMs = 3000;
inline constexpr int kDetectTimeoutMs = 1000;
// The upload's watchdog ticks once a second; this many ticks without a
// reply fail the upload (2 to 3 s of silence, as a tick may come at any
// moment after the last reply).
inline constexpr int kWatchdogTickMs = 1000;
inline constexpr int kSilenceTicks = 3;
