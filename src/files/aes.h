// The AES block cipher component used by the encrypted chain import and by
// the import maker tool: key expansion for 128-, 192- and 256-bit keys and
// the cipher and inverse cipher on 16-byte blocks, with the standard byte
// order of key, input and output. The work is done by libcrypto; this is the
// only file that knows it.
#pragma once

#include <cstddef>
#include <cstdint>

struct evp_cipher_ctx_st;

constexpr size_t kAesBlockSize = 16;

// An expanded key. Zero-initialise it, set it with AesExpandKey (as often as
// needed), and release it with AesReleaseKey when done.
struct AesKey {
    int rounds;  // 10, 12 or 14; 0 while no key is set
    evp_cipher_ctx_st* encrypt;
    evp_cipher_ctx_st* decrypt;
};

// Expands a 16-, 24- or 32-byte key. Any other size is refused (false) and
// leaves no usable key behind.
bool AesExpandKey(AesKey& key, const uint8_t* keyBytes, size_t keySize);
void AesReleaseKey(AesKey& key);

// `blockCount` independent 16-byte blocks in place, each with the same key
// (no chaining, no padding). False when no key is set or the cipher failed;
// the output is then not to be used.
bool AesEncryptBlocks(const AesKey& key, uint8_t* data, size_t blockCount);
bool AesDecryptBlocks(const AesKey& key, uint8_t* data, size_t blockCount);
