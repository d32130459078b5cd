// The discovery record checked byte by byte against vectors written out here, not
// derived from the code under test.
#include "discovery/DiscoveryData.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Bytes(const DISCOVERY_DATA &record)
{
    const auto *p = reinterpret_cast<const unsigned char *>(&record);
    return std::vector<unsigned char>(p, p + sizeof record);
}

bool AllZero(const std::vector<unsigned char> &bytes, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

// MD5("abc\0") and MD5("abc"), computed independently (md5sum over printf 'abc\0').
constexpr std::array<unsigned char, 16> kDigestAbcWithNul = {
    0x14, 0x7a, 0x66, 0x4a, 0x2c, 0xa9, 0x41, 0x09, 0x11, 0xe6, 0x19, 0x86, 0xd3, 0xf0, 0xd5, 0x2a};
constexpr std::array<unsigned char, 16> kDigestAbc = {
    0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0, 0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};

} // namespace

TEST(DiscoveryRecord, SearchRequestIsTypeThreeThenZeros)
{
    const auto bytes = Bytes(MakeSearchRecord());
    ASSERT_EQ(bytes.size(), 371u);
    EXPECT_EQ(bytes[0], 0x03);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[2], 0x00);
    EXPECT_EQ(bytes[3], 0x00);
    EXPECT_TRUE(AllZero(bytes, 4, 371));
}

TEST(DiscoveryRecord, IntegersAreLittleEndianAtTheirOffsets)
{
    DISCOVERY_DATA record = ZeroRecord();
    record.wHttpPort = 8080;
    record.wDataPort = 0x1234;
    record.wRtspPort = 554;
    record.wAudioRecvPort = 0xA1B2;
    record.wAudioSendPort = 0xC3D4;
    record.bHttps = 1;
    record.nIPMode = IP_MODE_DHCP;
    record.nResult = 0x01020304;
    const auto bytes = Bytes(record);
    EXPECT_EQ(bytes[360], 0x90);
    EXPECT_EQ(bytes[361], 0x1F);
    EXPECT_EQ(bytes[362], 0x34);
    EXPECT_EQ(bytes[363], 0x12);
    EXPECT_EQ(bytes[364], 0x2A);
    EXPECT_EQ(bytes[365], 0x02);
    EXPECT_EQ(bytes[366], 0xB2);
    EXPECT_EQ(bytes[367], 0xA1);
    EXPECT_EQ(bytes[368], 0xD4);
    EXPECT_EQ(bytes[369], 0xC3);
    EXPECT_EQ(bytes[370], 0x01);
    EXPECT_EQ(bytes[228], 0x01);
    EXPECT_TRUE(AllZero(bytes, 229, 232));
    EXPECT_EQ(bytes[4], 0x04);
    EXPECT_EQ(bytes[7], 0x01);
}

TEST(DiscoveryRecord, TextSlotsStartAtTheirOffsets)
{
    DISCOVERY_DATA record = ZeroRecord();
    WriteSlotText(record.szIP, "1");
    WriteSlotText(record.szSubnetMask, "2");
    WriteSlotText(record.szGateway, "3");
    WriteSlotText(record.szDNS, "4");
    std::memcpy(record.szMAC, "M", 1);
    std::memcpy(record.szProductName, "P", 1);
    std::memcpy(record.szFirmwareVersion, "F", 1);
    const auto bytes = Bytes(record);
    EXPECT_EQ(bytes[232], '1');
    EXPECT_EQ(bytes[264], '2');
    EXPECT_EQ(bytes[296], '3');
    EXPECT_EQ(bytes[328], '4');
    EXPECT_EQ(bytes[72], 'M');
    EXPECT_EQ(bytes[96], 'P');
    EXPECT_EQ(bytes[192], 'F');
}

TEST(DiscoveryRecord, CredentialBlock)
{
    DISCOVERY_DATA record = ZeroRecord();
    std::memset(&record, 0xEE, sizeof record); // a stored entry full of the camera's bytes
    const std::string longUser(40, 'u');
    FillCredentialBlock(record, longUser, "abc");
    const auto bytes = Bytes(record);

    // A 40-character user ID goes out as its first 31 characters and a NUL.
    for (std::size_t i = 8; i < 39; ++i)
        EXPECT_EQ(bytes[i], 'u') << i;
    EXPECT_EQ(bytes[39], 0);
    // The digest covers the password and its terminating NUL.
    EXPECT_TRUE(std::equal(kDigestAbcWithNul.begin(), kDigestAbcWithNul.end(), bytes.begin() + 40));
    EXPECT_FALSE(std::equal(kDigestAbc.begin(), kDigestAbc.end(), bytes.begin() + 40));
    EXPECT_TRUE(AllZero(bytes, 56, 72));
    // Nothing outside the block is touched.
    EXPECT_EQ(bytes[7], 0xEE);
    EXPECT_EQ(bytes[72], 0xEE);
}

TEST(DiscoveryRecord, ShortUserIdKeepsTheRestOfItsSlot)
{
    DISCOVERY_DATA record = ZeroRecord();
    std::memset(record.szUserID, 'x', sizeof record.szUserID);
    FillCredentialBlock(record, " admin", "");
    const auto bytes = Bytes(record);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&bytes[8])), " admin");
    EXPECT_EQ(bytes[15], 'x'); // past the NUL, the slot is as it was
}

TEST(DiscoveryRecord, PasswordIsCutToThirtyOneCharacters)
{
    std::uint8_t full[16], cut[16];
    PasswordDigest(std::string(40, 'p'), full);
    PasswordDigest(std::string(31, 'p'), cut);
    EXPECT_EQ(0, std::memcmp(full, cut, 16));
}

TEST(DiscoveryRecord, TextIsReadOnlyWithinItsSlot)
{
    DISCOVERY_DATA record = ZeroRecord();
    std::memset(record.szMAC, 'A', sizeof record.szMAC); // no NUL in the slot
    std::memset(record.szProductName, 'B', sizeof record.szProductName);
    EXPECT_EQ(SlotText(record.szMAC), std::string(24, 'A'));
    EXPECT_EQ(SlotText(record.szProductName), std::string(96, 'B'));

    std::memcpy(record.szIP, "10.0.0.1\0junk", 13);
    EXPECT_EQ(SlotText(record.szIP), "10.0.0.1");
}

TEST(DiscoveryRecord, WritingATextCutsItToItsSlot)
{
    DISCOVERY_DATA record = ZeroRecord();
    std::memset(record.szGateway, 'z', sizeof record.szGateway);
    WriteSlotText(record.szIP, std::string(50, '9'), ADDRESS_MAX_CHARS);
    WriteSlotText(record.szGateway, "1.2.3.4", ADDRESS_MAX_CHARS);
    EXPECT_EQ(SlotText(record.szIP), std::string(31, '9'));
    EXPECT_EQ(record.szGateway[7], '\0');
    EXPECT_EQ(record.szGateway[8], 'z');
}

TEST(DiscoveryRecord, ResultMessages)
{
    EXPECT_STREQ(ResultMessage(1), "Failed");
    EXPECT_STREQ(ResultMessage(2), "Failed. Invalid address");
    EXPECT_STREQ(ResultMessage(3), "Failed. Invalid port");
    EXPECT_STREQ(ResultMessage(4), "Failed. Invalid config");
    EXPECT_STREQ(ResultMessage(5), "Failed. login failed");
    EXPECT_EQ(ResultMessage(0), nullptr);
    EXPECT_EQ(ResultMessage(6), nullptr);
    EXPECT_EQ(ResultMessage(-1), nullptr);
}
