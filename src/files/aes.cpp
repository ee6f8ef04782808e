// AES on libcrypto's EVP interface in electronic codebook mode without
// padding, so that every 16-byte block is enciphered on its own. The EVP
// contexts are allocated on the first key and reused for later keys.
#include "files/aes.h"

#include <openssl/evp.h>

#include <climits>

namespace {

const EVP_CIPHER* CipherFor(size_t keySize) {
    switch (keySize) {
        case 16:
            return EVP_aes_128_ecb();
        case 24:
            return EVP_aes_192_ecb();
        case 32:
            return EVP_aes_256_ecb();
        default:
            return nullptr;
    }
}

bool InitContext(EVP_CIPHER_CTX*& context, const EVP_CIPHER* cipher, const uint8_t* keyBytes,
                 int encrypt) {
    if (context == nullptr) context = EVP_CIPHER_CTX_new();
    if (context == nullptr) return false;
    if (EVP_CipherInit_ex(context, cipher, nullptr, keyBytes, nullptr, encrypt) != 1) return false;
    return EVP_CIPHER_CTX_set_padding(context, 0) == 1;
}

// False unless every block came out: no key set, or libcrypto refused.
bool RunBlocks(const AesKey& key, EVP_CIPHER_CTX* context, const uint8_t* in, uint8_t* out,
               size_t blockCount) {
    if (key.rounds == 0 || context == nullptr) return false;
    while (blockCount > 0) {
        size_t chunk = blockCount > size_t(INT_MAX / 16) ? size_t(INT_MAX / 16) : blockCount;
        int written = 0;
        if (EVP_CipherUpdate(context, out, &written, in, int(chunk * kAesBlockSize)) != 1 ||
            size_t(written) != chunk * kAesBlockSize)
            return false;
        in += chunk * kAesBlockSize;
        out += chunk * kAesBlockSize;
        blockCount -= chunk;
    }
    return true;
}

}  // namespace

bool AesExpandKey(AesKey& key, const uint8_t* keyBytes, size_t keySize) {
    key.rounds = 0;
    const EVP_CIPHER* cipher = CipherFor(keySize);
    if (cipher == nullptr) return false;
    if (!InitContext(key.encrypt, cipher, keyBytes, 1)) return false;
    if (!InitContext(key.decrypt, cipher, keyBytes, 0)) return false;
    key.rounds = keySize == 16 ? 10 : keySize == 24 ? 12 : 14;
    return true;
}

void AesReleaseKey(AesKey& key) {
    EVP_CIPHER_CTX_free(key.encrypt);
    EVP_CIPHER_CTX_free(key.decrypt);
    key = {0, nullptr, nullptr};
}

bool AesEncryptBlocks(const AesKey& key, uint8_t* data, size_t blockCount) {
    return RunBlocks(key, key.encrypt, data, data, blockCount);
}

bool AesDecryptBlocks(const AesKey& key, uint8_t* data, size_t blockCount) {
    return RunBlocks(key, key.decrypt, data, data, blockCount);
}
