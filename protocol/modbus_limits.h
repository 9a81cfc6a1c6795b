#pragma once

// The limits of Modbus requests as this program builds them, named once for the builders, the
// response checks and the windows that read the operator's entries.

// Unit identifiers: 0 broadcasts, 1 to 247 address one unit.
constexpr int kModbusIdMin = 0;
constexpr int kModbusIdMax = 247;

// Data addresses and quantities are 16-bit fields.
constexpr int kMaxDataAddress = 65535;

// User-defined function codes: the codes without an exception bit.
constexpr int kMaxUserFunction = 127;

// Points and registers one request reads or writes.
constexpr int kMaxReadBits = 2000;
constexpr int kMaxWriteBits = 2000;
constexpr int kMaxReadRegisters = 125;
constexpr int kMaxWriteRegisters = 125;
// Bytes of logical (byte) addressing one request reads or writes.
constexpr int kMaxReadBytesLogical = 250;
constexpr int kMaxWriteBytesLogical = 250;
// 32-bit and 64-bit values one request reads or writes.
constexpr int kMaxLongs = 62;
constexpr int kMaxDoubles = 31;
// Characters of one string a single preset writes.
constexpr int kMaxPresetStringBytes = 247;
// Data bytes of a user-defined request.
constexpr int kMaxUserDefinedBytes = 254;

// The largest byte count of a read response, and of one of 4- or 8-byte values.
constexpr int kLargestByteCount = 250;
constexpr int kLargestByteCountWide = 248;
