// SHA-256 of a byte block as 64 lower-case hex digits, for pinning golden frames without a library (the
// tests and lumivorra-render print and compare the same digits).
#pragma once

#include <cstddef>
#include <string>

std::string Sha256Hex(const void* pData, size_t nBytes);
