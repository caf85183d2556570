// Whole updates through the real winmm and the virtual console: what the user sees, what the
// console receives, and what its flash holds afterwards.
#include <gtest/gtest.h>

#include "RegionMap.h"
#include "StatusTexts.h"
#include "UpdateRig.h"

namespace {

Strings Positions(int first, int last)
{
    Strings events;
    for (int position = first; position <= last; ++position)
        events.push_back("pos:" + std::to_string(position));
    return events;
}

// What the file and device stages show when both succeed.
Strings OpeningEvents()
{
    Strings events = {"range:0-3", "pos:0", Status(texts::kFileReading), "pos:1", "pos:2", "pos:3",
                      "range:0-5", "pos:0", Status(texts::kDeviceOpen)};
    Append(events, Positions(1, 5));
    return events;
}

// What writing one region shows: its announcement, then one step per 4096-byte block.
Strings InstallEvents(const char* announcement, int region)
{
    const int blocks = static_cast<int>(RegionLength(region) / 4096);
    Strings events = {Status(announcement), "range:0-" + std::to_string(blocks), "pos:0"};
    events.insert(events.end(), blocks, "offset:1");
    return events;
}

Strings Erases(std::initializer_list<int> first, int from, int to)
{
    Strings names;
    for (int region : first)
        names.push_back("erase " + std::to_string(region));
    for (int region = from; region <= to; ++region)
        names.push_back("erase " + std::to_string(region));
    return names;
}

// Regions 1 and 5: the smallest file that makes the console erase its upper group and that
// carries the checksum table, with the two words that decide command U.
CSyntheticFirmware UpperGroupFile(uint16_t at8004, uint16_t at8006)
{
    CSyntheticFirmware firmware;
    firmware.FillRegionRandom(5, 5).SetHeaderWords(0, 0, at8004, at8006);
    return firmware;
}

class UpdateProcedure : public CRigTest {};

TEST_F(UpdateProcedure, OnlyRegionZeroErasesTheLowerGroupAndWritesOneRegion)
{
    CSyntheticFirmware firmware;
    firmware.FillRegionRandom(0, 7);
    const RunOutcome run = rig.Run(rig.WriteFirmware(firmware));

    Strings expected = OpeningEvents();
    Append(expected, {"range:0-4", "pos:0", Status(texts::kUninstalling)});
    Append(expected, Positions(1, 4));
    Append(expected, InstallEvents("Installing.... ( 1/ 1)", 0));
    expected.push_back(Status(texts::kComplete));
    EXPECT_EQ(run.events, expected);
    EXPECT_EQ(run.fileSize, 1024 + 8 * 4096 + 1024);

    Strings sent = {"U", "erase 0", "erase 2", "erase 3", "erase 4"};
    Append(sent, RegionWrites(0));
    sent.push_back("final");
    EXPECT_EQ(Describe(rig.Received()), sent);
    EXPECT_TRUE(rig.Flash() == ExpectedFlash(firmware));
}

TEST_F(UpdateProcedure, AnEmptyMaskSendsCommandUAndTheFinalCommandOnly)
{
    const RunOutcome run = rig.Run(rig.WriteFirmware(CSyntheticFirmware()));

    Strings expected = OpeningEvents();
    Append(expected, {"range:0-0", "pos:0", Status(texts::kUninstalling), Status(texts::kComplete)});
    EXPECT_EQ(run.events, expected);
    EXPECT_EQ(Describe(rig.Received()), (Strings{"U", "final"}));
    EXPECT_TRUE(rig.Flash() == Bytes(4194304, 0xFF));
}

// The messages of a small update, byte for byte as the console must receive them.
TEST_F(UpdateProcedure, SendsTheProtocolsMessagesByteForByte)
{
    const CSyntheticFirmware firmware = UpperGroupFile(0x1180, 0x1180);
    const RunOutcome run = rig.Run(rig.WriteFirmware(firmware));
    ASSERT_EQ(run.statuses.back(), texts::kComplete);

    const std::vector<Bytes> received = rig.Received();
    Strings sent = {"U"};
    Append(sent, Erases({1}, 5, 34));
    Append(sent, RegionWrites(1));
    Append(sent, RegionWrites(5));
    sent.push_back("final");
    ASSERT_EQ(Describe(received), sent);

    const Bytes identifier = {0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32};
    auto message = [&](Bytes header, Bytes rest) {
        header.insert(header.end(), identifier.begin(), identifier.end());
        header.insert(header.end(), rest.begin(), rest.end());
        return header;
    };
    EXPECT_EQ(received[0], message({0xF0, 0x43, 0x00, 0x7E, 0x00, 0x09}, {0x55, 0x74, 0xF7}));
    // Erase checksums: (256 - (0xB7 + 0x42 + 0x01 + region)) & 0x7F.
    EXPECT_EQ(received[1], message({0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0B}, {0x42, 0x01, 0x01, 0x05, 0xF7}));
    EXPECT_EQ(received[2], message({0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0B}, {0x42, 0x01, 0x05, 0x01, 0xF7}));
    EXPECT_EQ(received[31], message({0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0B}, {0x42, 0x01, 0x22, 0x64, 0xF7}));
    EXPECT_EQ(received.back(), message({0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0C}, {0x42, 0x00, 0x00, 0x01, 0x06, 0xF7}));

    // Region 1 begins 00 00 00 00 11 80 11 80 FF...: the two zero header words and the two
    // level words. Length 2356 = 0x12 0x34; address 0x8000 packs to 10 00 00 00 00; the first
    // group's top-bit byte carries the 0x80 of its sixth byte in bit 1.
    const Bytes& packet = received[32];
    ASSERT_EQ(packet.size(), 2364u);
    const Bytes start = message({0xF0, 0x43, 0x00, 0x7E, 0x12, 0x34},
                                {0x42, 0x02, 0x10, 0x00, 0x00, 0x00, 0x00,
                                 0x02, 0x00, 0x00, 0x00, 0x00, 0x11, 0x00, 0x11,
                                 0x7F, 0x00, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F});
    EXPECT_EQ(Bytes(packet.begin(), packet.begin() + start.size()), start);
    EXPECT_EQ(packet.back(), 0xF7);

    Strings announced;
    for (const std::string& status : run.statuses)
        if (status.rfind("Installing", 0) == 0)
            announced.push_back(status);
    EXPECT_EQ(announced, (Strings{"Installing.... ( 1/ 2)", "Installing.... ( 2/ 2)"}));
    Strings erasing = {"range:0-31", "pos:0", Status(texts::kUninstalling)};
    Append(erasing, Positions(1, 31));
    EXPECT_EQ(EventsBetween(run.events, "range:0-31", Status("Installing.... ( 1/ 2)")), erasing);
    EXPECT_TRUE(rig.Flash() == ExpectedFlash(firmware));
}

// Command U goes out with region 5 only when both words, read big-endian, are 0x1180 or more.
TEST_F(UpdateProcedure, CommandUFollowsTheTwoLevelWords)
{
    struct Case {
        uint16_t at8004, at8006;
        bool sendsU;
    };
    // 0x7F11 and 0x117F swap under the wrong byte order.
    for (const Case& c : {Case{0x1180, 0x117F, false}, Case{0x117F, 0x1180, false}, Case{0x1180, 0x1180, true},
                          Case{0x7F11, 0x7F11, true}, Case{0x117F, 0x7F11, false}}) {
        rig.Configure();
        const RunOutcome run = rig.Run(rig.WriteFirmware(UpperGroupFile(c.at8004, c.at8006)));
        EXPECT_EQ(run.statuses.back(), texts::kComplete);
        const Strings sent = Describe(rig.Received());
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.front() == "U", c.sendsU) << std::hex << c.at8004 << " " << c.at8006;
        EXPECT_EQ(sent[c.sendsU ? 1 : 0], "erase 1");
    }
}

TEST_F(UpdateProcedure, AllRegionsAreErasedAndWrittenWithAndWithoutCommandU)
{
    for (const bool sendsU : {false, true}) {
        rig.Configure();
        CSyntheticFirmware firmware;
        for (int region = 0; region < kRegionCount; ++region)
            firmware.FillRegionRandom(region, sendsU ? 100 + region : 200 + region);
        firmware.SetHeaderWords(0, 0, sendsU ? 0x1180 : 0x117F, sendsU ? 0x1180 : 0x117F);
        const RunOutcome run = rig.Run(rig.WriteFirmware(firmware));

        Strings sent;
        if (sendsU)
            sent.push_back("U");
        Append(sent, Erases({0, 2, 3, 4, 1}, 5, 34));
        for (int region = 0; region < kRegionCount; ++region)
            Append(sent, RegionWrites(region));
        sent.push_back("final");
        EXPECT_EQ(Describe(rig.Received()), sent);

        Strings expected = OpeningEvents();
        Append(expected, {"range:0-35", "pos:0", Status(texts::kUninstalling)});
        Append(expected, Positions(1, 35));
        for (int region = 0; region < kRegionCount; ++region) {
            char announcement[64];
            std::snprintf(announcement, sizeof announcement, "Installing.... (%2d/35)", region + 1);
            Append(expected, InstallEvents(announcement, region));
        }
        expected.push_back(Status(texts::kComplete));
        EXPECT_EQ(run.events, expected);
        EXPECT_TRUE(rig.Flash() == ExpectedFlash(firmware));
    }
}

// Without region 0 nothing erases region 3: its bytes land on flash that still holds 0x5A,
// and NOR flash can only clear bits.
TEST_F(UpdateProcedure, RegionThreeWithoutRegionZeroIsWrittenUnerased)
{
    rig.Configure("flash_fill 5A");
    CSyntheticFirmware firmware;
    firmware.FillRegionRandom(3, 11);
    const RunOutcome run = rig.Run(rig.WriteFirmware(firmware));

    Strings expected = OpeningEvents();
    Append(expected, {"range:0-0", "pos:0", Status(texts::kUninstalling)});
    Append(expected, InstallEvents("Installing.... ( 1/ 1)", 3));
    expected.push_back(Status(texts::kComplete));
    EXPECT_EQ(run.events, expected);

    Strings sent = {"U"};
    Append(sent, RegionWrites(3));
    sent.push_back("final");
    EXPECT_EQ(Describe(rig.Received()), sent);

    Bytes expectedFlash = ExpectedFlash(firmware);
    for (uint8_t& byte : expectedFlash)
        byte &= 0x5A;
    EXPECT_TRUE(rig.Flash() == expectedFlash);
}

} // namespace
