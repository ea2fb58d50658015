// What a write says at its end: the closing line of a successful upload, and
// the table of the ports written together.
#pragma once

#include <string>
#include <vector>

// "Wrote 130048 bytes in 35.1 s (29.6 kbit/s) to VMX-1 on COM3: 8.3 → 8.4 (KMV-4)"
std::string ClosingLine(long long bytes, double seconds, const std::string& device,
                        const std::string& port, const std::string& oldVersion,
                        const std::string& newVersion);

// Bytes per second of a write; 0 when no time passed.
double BytesPerSecond(long long bytes, double seconds);

struct TSummaryRow {
    std::string port, device, oldVersion, newVersion, result;
    double seconds = -1; // negative: not written
};

// A table with a heading (port, device, version, result, seconds), its
// columns as wide as their widest entry (counted in characters).
std::string SummaryTable(const std::vector<TSummaryRow>& rows);
