// The on-disk layouts of QUELMA.CFG and the yearly data files. They are also the in-memory
// layouts: files are read and written as whole little-endian records, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

// The leading 34 bytes shared by MemberEntry and MeasureRecord; the part a card holds.
struct CardIdentity {
    char ID[10];
    char Name[20];
    uint8_t CardSerial[4];
};
static_assert(sizeof(CardIdentity) == 34);

struct AppSettings {
    int32_t UseSound;
    int32_t UseIdCard;
    int32_t UseWebCam;
    int32_t Mode; // 0 Fast, 1 Normal
    float Low;
    float Hi;
    int32_t Port;  // 0 = COM1 ... 19 = COM20
    int32_t Speed; // index into kBaudRates
    int32_t MemberCount;
};
static_assert(sizeof(AppSettings) == 36);

struct MemberEntry {
    char ID[10];
    char Name[20];
    uint8_t CardSerial[4];
    uint8_t Reserved[2];
    int32_t InUse;
};
static_assert(sizeof(MemberEntry) == 40);

struct MeasureRecord {
    char ID[10];
    char Name[20];
    uint8_t CardSerial[4];
    uint8_t Reserved1[6];
    int64_t Time; // seconds since 1970-01-01 UTC, taken at the "BRE" line
    uint8_t Mode;
    uint8_t Level; // Fast mode only: 0 "0", 1 "Low", 2 "Hi"
    uint8_t Unit;  // 0 "%BAC", 1 "mg/l", 2 "g/l"
    uint8_t Reserved2;
    float Low;
    float Hi;
    float Value;
    uint8_t Photo;
    uint8_t Reserved3[3];
    int32_t Number;
};
static_assert(sizeof(MeasureRecord) == 72);
static_assert(offsetof(MeasureRecord, Time) == 40);
static_assert(offsetof(MeasureRecord, Mode) == 48);
static_assert(offsetof(MeasureRecord, Low) == 52);
static_assert(offsetof(MeasureRecord, Photo) == 64);
static_assert(offsetof(MeasureRecord, Number) == 68);

constexpr int32_t kDataFileMagic = 1234567890;
constexpr int kDataHeaderSize = 8;
constexpr int kRecordGrowth = 300;
constexpr int kMemberGrowth = 50;
constexpr int kPortCount = 20; // the ports the Setting list offers, COM1 to COM20
// The channel opens COM21 too, and the start-up port search may store it.
constexpr int kStorablePortCount = 21;
constexpr int kSpeedCount = 8;
constexpr int kBaudRates[kSpeedCount] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

enum MeasureMode { kModeFast = 0, kModeNormal = 1 };

// Text forms of the coded record fields. Out-of-range codes (damaged files) read as "".
const char* ModeText(int mode);
const char* ClassText(int level);
const char* UnitText(int unit);

// Copies a zero-terminated text into a fixed field, cut to the field's size - 1 and
// zero-padded, so the field always holds a terminated text.
template <size_t N> void SetField(char (&field)[N], const char* text) {
    size_t i = 0;
    for (; text && text[i] && i + 1 < N; ++i)
        field[i] = text[i];
    for (; i < N; ++i)
        field[i] = 0;
}

// Length of a fixed field's text, never past the field.
template <size_t N> size_t FieldLength(const char (&field)[N]) {
    size_t i = 0;
    while (i < N && field[i])
        ++i;
    return i;
}
