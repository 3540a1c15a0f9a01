// The member record read from a contactless card (any 96 bytes a card may hold), and the
// record written for an identity (the bytes after the first 96): a parse of a built record
// gives the identity back.
#include "fuzz_support.h"

#include "members/card_record.h"
#include "storage/records.h"

#include <algorithm>
#include <cstring>

namespace {

using fuzz::Require;

bool CrcHolds(const CardArea& area) {
    const uint16_t crc = Crc16Xmodem(area.data(), 30);
    return area[30] == (crc >> 8) && area[31] == (crc & 0xFF);
}

// The text a field of N bytes carries, as far as an N - 1 character field can hold it.
template <size_t N> size_t TextLength(const uint8_t* field) {
    const void* zero = std::memchr(field, 0, N - 1);
    return zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - field) : N - 1;
}

template <size_t N> bool SameText(const char (&parsed)[N], const uint8_t* field) {
    const size_t n = TextLength<N>(field);
    return std::memcmp(parsed, field, n) == 0 && parsed[n] == 0;
}

// True when the area's texts are laid out as the writer lays them out: each text followed
// by zeros to the end of its field.
template <size_t N> bool Canonical(const uint8_t* field) {
    const size_t n = TextLength<N>(field);
    return std::all_of(field + n, field + N, [](uint8_t b) { return b == 0; });
}

template <typename Record> void CheckParse(const CardArea& area) {
    Record record;
    std::memset(&record, 'A', sizeof record);
    const bool ok = ParseCardArea(area, CardIdentityRef(record));
    Require(ok == CrcHolds(area), "the CRC decides validity");
    Require(fuzz::Terminated(record.ID) && fuzz::Terminated(record.Name), "parsed texts end");
    Require(SameText(record.ID, area.data()) && SameText(record.Name, area.data() + 10),
            "parsed texts are the card's");
    const uint8_t untouched[4] = {'A', 'A', 'A', 'A'};
    Require(std::memcmp(record.CardSerial, untouched, 4) == 0, "parsing leaves the serial alone");

    // Written back, the identity parses to itself; a record the writer made is rebuilt
    // byte for byte.
    const CardArea built = BuildCardArea(CardIdentityView(record));
    Require(std::all_of(built.begin() + kCardRecordSize, built.end(),
                        [](uint8_t b) { return b == kCardFiller; }),
            "filler after the record");
    Record again;
    std::memset(&again, 'B', sizeof again);
    Require(ParseCardArea(built, CardIdentityRef(again)), "a built record passes its CRC");
    Require(!std::strcmp(again.ID, record.ID) && !std::strcmp(again.Name, record.Name),
            "a parse of a built record gives the identity back");
    if (ok && Canonical<10>(area.data()) && Canonical<20>(area.data() + 10))
        Require(std::equal(built.begin(), built.begin() + kCardRecordSize, area.begin()),
                "a valid written record is rebuilt byte for byte");
}

// Texts of any bytes, unterminated too, as a damaged table could hand them to the writer.
void CheckBuild(const uint8_t* data, size_t size) {
    CardIdentity identity;
    std::memset(&identity, 0, sizeof identity);
    std::memcpy(&identity, data, std::min(size, sizeof identity));
    const CardArea area = BuildCardArea(CardIdentityView(identity));
    MeasureRecord record{};
    Require(ParseCardArea(area, CardIdentityRef(record)), "built record valid");
    Require(std::memcmp(record.ID, identity.ID, std::strlen(record.ID)) == 0 &&
                std::strlen(record.ID) == TextLength<10>(reinterpret_cast<uint8_t*>(identity.ID)),
            "ID written up to 9 characters");
    Require(std::memcmp(record.Name, identity.Name, std::strlen(record.Name)) == 0 &&
                std::strlen(record.Name) ==
                    TextLength<20>(reinterpret_cast<uint8_t*>(identity.Name)),
            "Name written up to 19 characters");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CardArea area;
    area.fill(kCardFiller);
    std::memcpy(area.data(), data, std::min(size, area.size()));
    CheckParse<MemberEntry>(area);
    CheckParse<MeasureRecord>(area);
    CheckParse<CardIdentity>(area);
    if (size > area.size())
        CheckBuild(data + area.size(), size - area.size());
    return 0;
}
