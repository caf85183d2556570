// The SHA-256 digest of a file's bytes, from the platform's own cryptography provider (BCrypt).
#pragma once

#include <cstdint>
#include <string>

// 64 lower-case hexadecimal digits, or an empty text when the provider cannot be used.
std::string Sha256Hex(const uint8_t* data, uint32_t length);
