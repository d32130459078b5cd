// RFC 1321, appendix A.5: the reference test suite.
#include "platform/MD5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string Hex(const std::string &input)
{
    CMD5 md5;
    md5.Update(input.data(), input.size());
    std::uint8_t digest[16];
    md5.Final(digest);
    std::string text;
    char byte[3];
    for (std::uint8_t b : digest) {
        std::snprintf(byte, sizeof byte, "%02x", b);
        text += byte;
    }
    return text;
}

} // namespace

TEST(MD5, Rfc1321TestSuite)
{
    EXPECT_EQ(Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(MD5, InputSplitAcrossUpdatesGivesTheSameDigest)
{
    // Lengths around the 56- and 64-byte padding boundaries, fed one byte at a time.
    for (std::size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u}) {
        const std::string input(length, 'q');
        CMD5 md5;
        for (char c : input)
            md5.Update(&c, 1);
        std::uint8_t split[16];
        md5.Final(split);

        CMD5 whole;
        whole.Update(input.data(), input.size());
        std::uint8_t once[16];
        whole.Final(once);
        EXPECT_EQ(0, std::memcmp(split, once, 16)) << length;
    }
}
