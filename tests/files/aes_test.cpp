// The AES component against the FIPS-197 appendix C example vectors.
#include "files/aes.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Hex(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(uint8_t(std::stoi(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

struct Vector {
    const char* key;
    int rounds;
    const char* cipher;
};

TEST(Aes, Fips197AppendixCVectorsForAllKeySizes) {
    const std::vector<uint8_t> plain = Hex("00112233445566778899aabbccddeeff");
    const Vector vectors[] = {
        {"000102030405060708090a0b0c0d0e0f", 10, "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", 12,
         "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", 14,
         "8ea2b7ca516745bfeafc49904b496089"},
    };
    AesKey key = {};
    for (const Vector& v : vectors) {
        SCOPED_TRACE(v.key);
        std::vector<uint8_t> keyBytes = Hex(v.key);
        ASSERT_TRUE(AesExpandKey(key, keyBytes.data(), keyBytes.size()));
        EXPECT_EQ(key.rounds, v.rounds);
        std::vector<uint8_t> block = plain;
        EXPECT_TRUE(AesEncryptBlocks(key, block.data(), 1));
        EXPECT_EQ(block, Hex(v.cipher));
        EXPECT_TRUE(AesDecryptBlocks(key, block.data(), 1));
        EXPECT_EQ(block, plain);

        // Many blocks at once are independent single blocks.
        std::vector<uint8_t> blocks = Hex(v.cipher);
        blocks.insert(blocks.end(), blocks.begin(), blocks.end());
        EXPECT_TRUE(AesDecryptBlocks(key, blocks.data(), 2));
        EXPECT_EQ(std::vector<uint8_t>(blocks.begin() + 16, blocks.end()), plain);
        EXPECT_EQ(std::vector<uint8_t>(blocks.begin(), blocks.begin() + 16), plain);
    }
    AesReleaseKey(key);
}

TEST(Aes, OtherKeySizesAreRefused) {
    uint8_t keyBytes[40] = {};
    AesKey key = {};
    for (size_t size : {0, 8, 15, 17, 20, 31, 33, 40}) {
        EXPECT_FALSE(AesExpandKey(key, keyBytes, size)) << size;
        EXPECT_EQ(key.rounds, 0);
    }
    AesReleaseKey(key);
}

// A cipher that did not run is reported, never passed off as a result: with
// no key set (never expanded, refused, released) and when libcrypto refuses
// the update (here a context stripped of its cipher).
TEST(Aes, FailedCipherRunsReportFailure) {
    uint8_t block[32] = {};
    const auto allFail = [&](const AesKey& key) {
        return !AesEncryptBlocks(key, block, 1) && !AesDecryptBlocks(key, block, 1) &&
               !AesEncryptBlocks(key, block, 2) && !AesDecryptBlocks(key, block, 2);
    };
    AesKey key = {};
    EXPECT_TRUE(allFail(key));
    const std::vector<uint8_t> keyBytes(32, 7);
    ASSERT_TRUE(AesExpandKey(key, keyBytes.data(), 32));
    EXPECT_FALSE(AesExpandKey(key, keyBytes.data(), 20));
    EXPECT_TRUE(allFail(key));
    AesReleaseKey(key);
    EXPECT_TRUE(allFail(key));

    ASSERT_TRUE(AesExpandKey(key, keyBytes.data(), 32));
    EVP_CIPHER_CTX_reset(key.decrypt);
    EXPECT_FALSE(AesDecryptBlocks(key, block, 2));
    EXPECT_FALSE(AesDecryptBlocks(key, block, 1));
    EXPECT_TRUE(AesEncryptBlocks(key, block, 2));
    AesReleaseKey(key);
}

}  // namespace
