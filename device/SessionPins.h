// The pins of the probe and upload sub-schemas, as their hosts see them:
// a host's inPass(i) reaches the sub-schema's inner side as onPass[i], what
// the inner side's inPass(i) gets leaves the host as onPass[i], and the
// host's srcPass[i] answers the inner side's valPass(i). The sub-schemas
// (inside) and the device session (outside) both link by these names.
#pragma once

#include <cstdint>

// What the probe host's inputs take.
enum TProbeIn : uint16_t {
    probe_opened = 0, // the port's open result (the port's number, 0 or less: not opened)
    probe_chosen = 1, // a port was chosen: what the last one sent is dropped
    probe_reply = 2,  // a received burst, until a device has been identified
    probe_in_count = 3,
};

// What the probe host's outputs and data outputs carry.
enum TProbeOut : uint16_t {
    probe_write = 0,     // "VERS", to be written to the port
    probe_status = 1,    // the status text
    probe_open = 2,      // open the chosen port
    probe_not_found = 3, // no device
    probe_found = 4,     // a device was identified (its signature)
    probe_out_count = 5,
};
enum TProbeValue : uint16_t {
    probe_route = 0,   // 1 once a device has been identified, else 0
    probe_device = 1,  // the device's name from its reply
    probe_version = 2, // its firmware version
    probe_value_count = 3,
};

// What the upload host's inputs, outputs and data inputs carry.
enum TUploadIn : uint16_t {
    upload_reply = 0, // a received burst
    upload_start = 1, // start the transfer
    upload_stop = 2,  // stop it from outside, unless its outcome was decided first
    upload_in_count = 3,
};
enum TUploadOut : uint16_t {
    upload_progress = 0, // blocks acknowledged
    upload_write = 1,    // bytes to write to the port
    upload_success = 2,  // the final acknowledgement as hexadecimal text
    upload_failure = 3,  // an unmatched reply as hexadecimal text, the integer 3 (silence),
                         // or "PUSK" (the start command did not go out); device/UploadOutcome
                         // reads it
    upload_crc = 4,      // the running CRC text, which data input upload_crc_text reads back
    upload_burst = 5,    // every received burst, unchanged
    upload_gap = 6,      // the port's burst gap during the transfer and after it
    upload_out_count = 7,
};
enum TUploadValue : uint16_t {
    upload_crc_text = 0, // the running CRC text, as upload_crc last set it
    upload_written = 1,  // the bytes the port's last write put out
    upload_value_count = 2,
};
