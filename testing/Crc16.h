// CRC-16/MODBUS (reflected polynomial 0x8005, initial value 0xFFFF, no final
// XOR): the checksum the device's bootloader keeps over the uploaded image.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues `crc` over n bytes; start with 0xFFFF. Crc16Modbus("123456789")
// is 0x4B37.
uint16_t Crc16Modbus(const void* data, std::size_t n, uint16_t crc = 0xFFFF);
