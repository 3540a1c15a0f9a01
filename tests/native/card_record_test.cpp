#include "members/card_record.h"
#include "storage/data_file.h"
#include "storage/records.h"
#include "test_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Reference bytes worked out independently of the program's CRC table.
std::vector<uint8_t> Hex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

const char kAliceRecord[] = "4d303031000000000000416c6963650000000000000000000000000000001fcf";
const char kBlankRecord[] = "00000000000000000000456d7074790000000000000000000000000000004c45";
const char kLongestRecord[] = "313233343536373839004142434445464748494a4b4c4d4e4f5051525300d586";

CardArea AreaWith(const std::string& recordHex, uint8_t filler = 0x00) {
    CardArea area;
    area.fill(filler);
    const auto record = Hex(recordHex);
    std::memcpy(area.data(), record.data(), record.size());
    return area;
}

std::vector<uint8_t> RecordPart(const CardArea& area) {
    return std::vector<uint8_t>(area.begin(), area.begin() + kCardRecordSize);
}

using test_records::Member;

TEST(CardCrc, MatchesTheXmodemCheckValue) {
    const char text[] = "123456789";
    EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const uint8_t*>(text), 9), 0x31C3);
    EXPECT_EQ(Crc16Xmodem(nullptr, 0), 0x0000);
    // Feeding in pieces gives the same as one pass.
    const uint16_t head = Crc16Xmodem(reinterpret_cast<const uint8_t*>(text), 4);
    EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const uint8_t*>(text) + 4, 5, head), 0x31C3);
}

TEST(CardLayout, RecordBlocksAndKeyNeverMove) {
    const int expected[kCardAreaBlocks] = {4, 5, 6, 8, 9, 10};
    for (int n = 0; n < kCardAreaBlocks; ++n)
        EXPECT_EQ(CardAreaBlock(n), expected[n]) << n;
    // Cards already issued carry this key: changing it would lock every one of them out.
    EXPECT_EQ(CardSectorKey(), (CardKey{0x3A, 0x7C, 0x51, 0xE2, 0x08, 0x9D}));
}

TEST(CardWrite, BuildsTheRecordHighCrcByteFirst) {
    const MemberEntry alice = Member("M001", "Alice");
    const CardArea area = BuildCardArea(CardIdentityView(alice));
    EXPECT_EQ(RecordPart(area), Hex(kAliceRecord));

    MemberEntry blank = Member("", "Empty");
    EXPECT_EQ(RecordPart(BuildCardArea(CardIdentityView(blank))), Hex(kBlankRecord));
}

TEST(CardWrite, LongestTextsKeepTheirZeroByte) {
    const MemberEntry longest = Member("123456789", "ABCDEFGHIJKLMNOPQRS");
    const CardArea area = BuildCardArea(CardIdentityView(longest));
    EXPECT_EQ(RecordPart(area), Hex(kLongestRecord));
    EXPECT_EQ(area[9], 0);
    EXPECT_EQ(area[29], 0);
}

TEST(CardWrite, UnterminatedCallerFieldsAreCutNotOverrun) {
    MeasureRecord r{};
    std::memset(r.ID, 'I', sizeof r.ID);
    std::memset(r.Name, 'N', sizeof r.Name);
    std::memset(r.CardSerial, 0xEE, sizeof r.CardSerial);
    const CardArea area = BuildCardArea(CardIdentityView(r));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(area.data())), "IIIIIIIII");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(area.data() + 10)), std::string(19, 'N'));
    EXPECT_EQ(Crc16Xmodem(area.data(), kCardRecordSize), 0);
}

TEST(CardWrite, TextAfterTheTerminatorIsNotWritten) {
    MemberEntry m{};
    std::memcpy(m.ID, "AB\0XYZ", 6);
    std::memcpy(m.Name, "Cd\0garbage", 10);
    const CardArea area = BuildCardArea(CardIdentityView(m));
    for (int i = 2; i < 10; ++i)
        EXPECT_EQ(area[i], 0) << i;
    for (int i = 12; i < 30; ++i)
        EXPECT_EQ(area[i], 0) << i;
}

TEST(CardRead, WrittenRecordReadsBackExactlyIntoEitherRecordKind) {
    for (const auto& [id, name] :
         {std::pair{"M001", "Alice"}, std::pair{"123456789", "ABCDEFGHIJKLMNOPQRS"},
          std::pair{"", ""}, std::pair{"\xB1\xE8", "\xC8\xAB\xB1\xE6\xB5\xBF"}}) {
        const MemberEntry written = Member(id, name);
        const CardArea area = BuildCardArea(CardIdentityView(written));

        MeasureRecord record{};
        std::memset(&record, 0x5A, sizeof record);
        ASSERT_TRUE(ParseCardArea(area, CardIdentityRef(record))) << id;
        EXPECT_STREQ(record.ID, id);
        EXPECT_STREQ(record.Name, name);
        EXPECT_EQ(record.CardSerial[0], 0x5A) << "the serial is the select's business";
        EXPECT_EQ(record.Reserved1[0], 0x5A) << "nothing past the identity changes";

        MemberEntry member{};
        ASSERT_TRUE(ParseCardArea(area, CardIdentityRef(member)));
        EXPECT_EQ(std::memcmp(member.ID, written.ID, sizeof member.ID), 0);
        EXPECT_EQ(std::memcmp(member.Name, written.Name, sizeof member.Name), 0);
    }
}

TEST(CardRead, BlankCardIsValidWithEmptyIdAndNameEmpty) {
    MemberEntry m = Member("OLD", "Previous");
    EXPECT_TRUE(ParseCardArea(AreaWith(kBlankRecord, 0xA7), CardIdentityRef(m)));
    EXPECT_STREQ(m.ID, "");
    EXPECT_STREQ(m.Name, "Empty");
}

TEST(CardRead, AnyAlteredBitOfTheRecordIsRefusedButTheFiller) {
    const CardArea good = AreaWith(kAliceRecord);
    for (int bit = 0; bit < kCardRecordSize * 8; ++bit) {
        CardArea bad = good;
        bad[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        MemberEntry m{};
        EXPECT_FALSE(ParseCardArea(bad, CardIdentityRef(m))) << "bit " << bit;
    }
    for (int i = kCardRecordSize; i < kCardAreaSize; ++i) {
        CardArea other = good;
        other[i] = static_cast<uint8_t>(~other[i]);
        MemberEntry m{};
        EXPECT_TRUE(ParseCardArea(other, CardIdentityRef(m))) << "filler byte " << i;
    }
}

TEST(CardRead, RefusedRecordStillHandsOverTheCardText) {
    CardArea area = AreaWith(kAliceRecord);
    area[31] ^= 0x01;
    MemberEntry m = Member("OLD", "Previous");
    EXPECT_FALSE(ParseCardArea(area, CardIdentityRef(m)));
    EXPECT_STREQ(m.ID, "M001");
    EXPECT_STREQ(m.Name, "Alice");
}

TEST(CardRead, FullWidthFieldsAreCutToStayTerminated) {
    // A card written by other means: ID and Name without any zero byte, CRC valid.
    CardArea area;
    area.fill(0);
    std::memset(area.data(), '7', 10);
    std::memset(area.data() + 10, 'z', 20);
    const uint16_t crc = Crc16Xmodem(area.data(), 30);
    area[30] = static_cast<uint8_t>(crc >> 8);
    area[31] = static_cast<uint8_t>(crc);

    MeasureRecord r{};
    std::memset(&r, 0x41, sizeof r);
    EXPECT_TRUE(ParseCardArea(area, CardIdentityRef(r)));
    EXPECT_EQ(FieldLength(r.ID), 9u);
    EXPECT_EQ(FieldLength(r.Name), 19u);
    EXPECT_STREQ(r.ID, "777777777");
    EXPECT_EQ(std::string(r.Name), std::string(19, 'z'));
    EXPECT_EQ(r.CardSerial[0], 0x41);
}

TEST(CardRead, PathCharactersInACardNameNeverLeaveThePhotoFolder) {
    for (const char* name : {"..\\x", "..", "a/b:c", "\\\\srv\\share", "C:\\Windows\\x"}) {
        MemberEntry on{};
        SetField(on.ID, "9");
        SetField(on.Name, name);
        MeasureRecord r{};
        r.Time = 1767225600; // 2026-01-01
        ASSERT_TRUE(ParseCardArea(BuildCardArea(CardIdentityView(on)), CardIdentityRef(r)));
        const std::string photo = PhotoFileName(r);
        EXPECT_EQ(photo.find_first_of("\\/:"), std::string::npos) << photo;
        const std::string namePart = photo.substr(0, photo.find("_2026_01_01_"));
        EXPECT_NE(namePart.find_first_not_of('.'), std::string::npos) << photo;
    }
}

} // namespace
