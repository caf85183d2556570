#include "Sha256.h"

#include <windows.h>
#include <bcrypt.h>

namespace {

constexpr ULONG kDigestBytes = 32;

// The provider and the hash object, each closed once on every way out.
struct CAlgorithmHandle {
    BCRYPT_ALG_HANDLE handle = nullptr;
    ~CAlgorithmHandle()
    {
        if (handle)
            BCryptCloseAlgorithmProvider(handle, 0);
    }
};

struct CHashHandle {
    BCRYPT_HASH_HANDLE handle = nullptr;
    ~CHashHandle()
    {
        if (handle)
            BCryptDestroyHash(handle);
    }
};

} // namespace

std::string Sha256Hex(const uint8_t* data, uint32_t length)
{
    CAlgorithmHandle algorithm;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm.handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return {};
    // Given no memory for the hash object, the provider keeps it itself.
    CHashHandle hash;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm.handle, &hash.handle, nullptr, 0, nullptr, 0, 0)))
        return {};
    // The provider only reads the data, though its parameter is not declared const.
    if (length > 0 && !BCRYPT_SUCCESS(BCryptHashData(hash.handle, const_cast<PUCHAR>(data), length, 0)))
        return {};
    UCHAR digest[kDigestBytes];
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.handle, digest, kDigestBytes, 0)))
        return {};
    static constexpr char kHexDigits[] = "0123456789abcdef";
    std::string hex;
    for (UCHAR byte : digest) {
        hex += kHexDigits[byte >> 4];
        hex += kHexDigits[byte & 0x0F];
    }
    return hex;
}
