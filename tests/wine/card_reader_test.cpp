// The card wrapper against the stand-in reader library (ACR120U.dll beside the test program).
// The stand-in logs every library call to calls.log; the tests read it back to check which
// calls were made, with which arguments and in which order.
#include "members/card_reader.h"
#include "storage/records.h"
#include "wine/wine_harness.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using wine_harness::Member;

const char kKey[] = "3A7C51E2089D";
const char kWrongKey[] = "FFFFFFFFFFFF";
// ID "M001", Name "Alice" and its CRC (0x1FCF), worked out by hand from the card layout.
const char kAliceBlock4[] = "4D303031000000000000416C69636500";
const char kAliceBlock5[] = "00000000000000000000000000001FCF";

std::string CardText(const std::string& serial, const char* block4, const char* block5,
                     const char* key2 = kKey, int type = 1) {
    std::ostringstream text;
    text << "type=" << type << "\nserial=" << serial << "\nkey1=" << kKey << "\nkey2=" << key2
         << "\nblock6=0102030405060708090A0B0C0D0E0F10\n";
    if (block4)
        text << "block4=" << block4 << "\n";
    if (block5)
        text << "block5=" << block5 << "\n";
    return text.str();
}

class CardReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = fs::path(temp) / ("quelma-cards-" + std::to_string(GetCurrentProcessId()) + "-" +
                                    std::to_string(GetTickCount()));
        fs::create_directories(folder_);
        SetEnvironmentVariableA("QUELMA_CARD_DIR", folder_.string().c_str());
        g_hCardReader = -1;
    }
    void TearDown() override {
        DeleteCardReader();
        g_hCardReader = -1;
        SetEnvironmentVariableA("QUELMA_CARD_DIR", nullptr);
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    void WriteFile(const std::string& name, const std::string& text) {
        std::ofstream(folder_ / name, std::ios::trunc) << text;
    }
    void PutCard(const std::string& name, const std::string& text) {
        WriteFile(name + ".card", text);
    }
    void Reader(const std::string& lines) { WriteFile("reader.txt", lines); }

    std::vector<std::string> Lines(const char* file) const {
        std::vector<std::string> lines;
        std::ifstream in(folder_ / file);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    // The calls with their status, without the data the stand-in adds after it.
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        for (std::string line : Lines("calls.log")) {
            const size_t eq = line.find(" = ");
            const size_t end = eq == std::string::npos ? line.size() : line.find(' ', eq + 3);
            calls.push_back(line.substr(0, end));
        }
        return calls;
    }
    void ClearLogs() {
        fs::remove(folder_ / "calls.log");
        fs::remove(folder_ / "userport.log");
    }
    // Alice's card on the reader, with more reader.txt lines after it.
    void LayAlice(const std::string& more = "") {
        PutCard("alice", CardText("1A2B3C4D", kAliceBlock4, kAliceBlock5));
        Reader("card=alice\n" + more);
    }
    // The same, and `card` opened on it.
    void AliceOnReader(CNCIDCard& card, const std::string& more = "", int handle = 0) {
        LayAlice(more);
        ASSERT_EQ(card.Open(), handle);
    }
    // Bob's record written over Alice's card with these reader faults: the calls it made.
    std::vector<std::string> FailToWriteBob(const std::string& faults) {
        CNCIDCard card;
        AliceOnReader(card, faults);
        MemberEntry bob = Member("M042", "Bob");
        EXPECT_TRUE(card.SelectCard(CardIdentityRef(bob), 0));
        ClearLogs();
        EXPECT_FALSE(card.WriteCard(CardIdentityView(bob), 0));
        return Calls();
    }
    // The value of one "name=..." line of a card file.
    std::string CardLine(const std::string& card, const std::string& name) const {
        for (const std::string& line : Lines((card + ".card").c_str()))
            if (line.rfind(name + "=", 0) == 0)
                return line.substr(name.size() + 1);
        return "";
    }

    fs::path folder_;
};

// One fixture, several suites: each group gets its own line in the test summary.
class CardSelect : public CardReaderTest {};
class CardRead : public CardReaderTest {};
class CardWrite : public CardReaderTest {};
class CardPolling : public CardReaderTest {};
class CardOpenAndSignal : public CardReaderTest {};

const std::vector<std::string> kReadSequence = {
    "Login(0,1,0xAA,0,3A7C51E2089D) = 0", "Read(0,4) = 0", "Read(0,5) = 0", "Read(0,6) = 0",
    "Login(0,2,0xAA,0,3A7C51E2089D) = 0", "Read(0,8) = 0", "Read(0,9) = 0", "Read(0,10) = 0"};

std::vector<std::string> Head(const std::vector<std::string>& list, size_t n) {
    return std::vector<std::string>(list.begin(), list.begin() + std::min(n, list.size()));
}

TEST_F(CardSelect, SelectTakesOnlyTheSerialOfAFourByteCard) {
    CNCIDCard card;
    AliceOnReader(card, "handle=7\n", 7);

    MemberEntry m = Member("X1", "Someone");
    ASSERT_TRUE(card.SelectCard(CardIdentityRef(m), 7));
    EXPECT_EQ(m.CardSerial[0], 0x1A);
    EXPECT_EQ(m.CardSerial[3], 0x4D);
    EXPECT_STREQ(m.ID, "X1");
    EXPECT_STREQ(m.Name, "Someone");
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Open(0) = 7", "Select(7) = 0"}));
}

TEST_F(CardSelect, SelectRefusesMissingCardsTypes4And5AndLongSerials) {
    PutCard("alice", CardText("1A2B3C4D", kAliceBlock4, kAliceBlock5));
    PutCard("long", CardText("04112233445566", kAliceBlock4, kAliceBlock5));
    PutCard("type3", CardText("01020304", kAliceBlock4, kAliceBlock5, kKey, 3));
    CNCIDCard card;
    Reader("");
    ASSERT_EQ(card.Open(), 0);
    for (const char* reader :
         {"", "card=nobody\n", "card=alice\nfault=nocard\n", "card=alice\nfault=type:4\n",
          "card=alice\nfault=type:5\n", "card=alice\nfault=serial7\n", "card=long\n"}) {
        Reader(reader);
        MeasureRecord r{};
        r.CardSerial[0] = 0x99;
        EXPECT_FALSE(card.SelectCard(CardIdentityRef(r), 0)) << reader;
        EXPECT_EQ(r.CardSerial[0], 0x99) << reader;
    }
    Reader("card=type3\n");
    MemberEntry m{};
    EXPECT_TRUE(card.SelectCard(CardIdentityRef(m), 0)) << "only types 4 and 5 are refused";
}

TEST_F(CardRead, ReadMakesTheExpectedCallsAndFillsIdAndName) {
    CNCIDCard card;
    AliceOnReader(card);
    ClearLogs();

    MemberEntry m = Member("OLD", "Previous");
    ASSERT_TRUE(card.SelectCard(CardIdentityRef(m), 0));
    ASSERT_TRUE(card.ReadCard(CardIdentityRef(m), 0));
    EXPECT_STREQ(m.ID, "M001");
    EXPECT_STREQ(m.Name, "Alice");
    std::vector<std::string> expected = {"Select(0) = 0"};
    expected.insert(expected.end(), kReadSequence.begin(), kReadSequence.end());
    EXPECT_EQ(Calls(), expected);
}

TEST_F(CardRead, ReadRefusesWhenAnySectorOrFillerBlockFails) {
    PutCard("alice", CardText("1A2B3C4D", kAliceBlock4, kAliceBlock5));
    PutCard("lockedsector2", CardText("1A2B3C4E", kAliceBlock4, kAliceBlock5, kWrongKey));
    CNCIDCard card;
    Reader("card=alice\n");
    ASSERT_EQ(card.Open(), 0);

    struct Case {
        const char* reader;
        size_t callsBeforeFailure; // of the read sequence
    };
    for (const Case& c :
         {Case{"card=alice\nfault=login:1\n", 0}, Case{"card=alice\nfault=login:2\n", 4},
          Case{"card=lockedsector2\n", 4}, Case{"card=alice\nfault=read:6\n", 3},
          Case{"card=alice\nfault=read:8\n", 5}, Case{"card=alice\nfault=read:9\n", 6},
          Case{"card=alice\nfault=read:10\n", 7}}) {
        Reader(c.reader);
        MemberEntry m{};
        ASSERT_TRUE(card.SelectCard(CardIdentityRef(m), 0)) << c.reader;
        ClearLogs();
        EXPECT_FALSE(card.ReadCard(CardIdentityRef(m), 0)) << c.reader;
        const auto calls = Calls();
        ASSERT_EQ(calls.size(), c.callsBeforeFailure + 1) << c.reader;
        EXPECT_EQ(Head(calls, c.callsBeforeFailure), Head(kReadSequence, c.callsBeforeFailure));
        EXPECT_NE(calls.back().find(" = -"), std::string::npos) << calls.back();
        EXPECT_STREQ(m.ID, "") << "a failed read leaves the record as it was";
    }
}

TEST_F(CardRead, ReadRefusesAnAlteredCrcButHandsOverTheText) {
    PutCard("bent", CardText("1A2B3C4D", kAliceBlock4, "00000000000000000000000000001FCE"));
    Reader("card=bent\n");
    CNCIDCard card;
    ASSERT_EQ(card.Open(), 0);
    MemberEntry m = Member("OLD", "Previous");
    ASSERT_TRUE(card.SelectCard(CardIdentityRef(m), 0));
    EXPECT_FALSE(card.ReadCard(CardIdentityRef(m), 0));
    EXPECT_STREQ(m.ID, "M001");
    EXPECT_STREQ(m.Name, "Alice");
}

TEST_F(CardWrite, WriteStoresTheRecordOnTheCardAndItReadsBack) {
    PutCard("fresh", CardText("0A0B0C0D", nullptr, nullptr));
    Reader("card=fresh\nhandle=3\n");
    CNCIDCard card;
    ASSERT_EQ(card.Open(), 3);
    MemberEntry alice = Member("M001", "Alice");
    ASSERT_TRUE(card.SelectCard(CardIdentityRef(alice), 3));
    ClearLogs();
    ASSERT_TRUE(card.WriteCard(CardIdentityView(alice), 3));
    EXPECT_EQ(Calls(),
              (std::vector<std::string>{"Login(3,1,0xAA,0,3A7C51E2089D) = 0",
                                        "Write(3,4," + std::string(kAliceBlock4) + ") = 0",
                                        "Write(3,5," + std::string(kAliceBlock5) + ") = 0",
                                        "Write(3,6,FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF) = 0",
                                        "Login(3,2,0xAA,0,3A7C51E2089D) = 0",
                                        "Write(3,8,FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF) = 0",
                                        "Write(3,9,FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF) = 0",
                                        "Write(3,10,FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF) = 0"}));
    // The card file keeps what was written.
    EXPECT_EQ(CardLine("fresh", "block4"), kAliceBlock4);
    EXPECT_EQ(CardLine("fresh", "block5"), kAliceBlock5);

    // Taken off, laid on again, read back by a second reader object.
    Reader("handle=3\n");
    MemberEntry none{};
    EXPECT_FALSE(card.SelectCard(CardIdentityRef(none), 3));
    Reader("card=fresh\nhandle=3\n");
    CNCIDCard other;
    ASSERT_EQ(other.Open(), 3); // the library is loaded by the open
    MeasureRecord r{};
    ASSERT_TRUE(other.SelectCard(CardIdentityRef(r), 3));
    ASSERT_TRUE(other.ReadCard(CardIdentityRef(r), 3));
    EXPECT_STREQ(r.ID, "M001");
    EXPECT_STREQ(r.Name, "Alice");
    EXPECT_EQ(r.CardSerial[0], 0x0A);
}

TEST_F(CardWrite, BlankedCardReadsAsEmpty) {
    CNCIDCard card;
    AliceOnReader(card);
    MemberEntry blank = Member("", "Empty");
    ASSERT_TRUE(card.SelectCard(CardIdentityRef(blank), 0));
    ASSERT_TRUE(card.WriteCard(CardIdentityView(blank), 0));
    MemberEntry m = Member("M001", "Alice");
    ASSERT_TRUE(card.SelectCard(CardIdentityRef(m), 0));
    ASSERT_TRUE(card.ReadCard(CardIdentityRef(m), 0));
    EXPECT_STREQ(m.ID, "");
    EXPECT_STREQ(m.Name, "Empty");
}

TEST_F(CardWrite, WriteFailingInSector2LeavesSector1Written) {
    const auto calls = FailToWriteBob("fault=write:8\n");
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls.back().substr(0, 9), "Write(0,8");
    EXPECT_NE(calls.back().find(" = -"), std::string::npos);
    EXPECT_NE(CardLine("alice", "block4"), kAliceBlock4);
    EXPECT_EQ(CardLine("alice", "block8"), "") << "sector 2 was not touched";

    // Sector 1 holds a whole record already: the card reads as Bob.
    Reader("card=alice\n");
    CNCIDCard card;
    ASSERT_EQ(card.Open(), 0);
    MemberEntry m{};
    ASSERT_TRUE(card.SelectCard(CardIdentityRef(m), 0));
    EXPECT_TRUE(card.ReadCard(CardIdentityRef(m), 0));
    EXPECT_STREQ(m.ID, "M042");
    EXPECT_STREQ(m.Name, "Bob");
}

TEST_F(CardWrite, WriteStopsAtARefusedLoginWithoutWriting) {
    EXPECT_EQ(FailToWriteBob("fault=login:1\n").size(), 1u);
    EXPECT_EQ(CardLine("alice", "block4"), kAliceBlock4);
}

TEST_F(CardPolling, PollingWithoutAReaderMakesNoLibraryCall) {
    LayAlice();
    CreateCardReader();
    ASSERT_NE(CardReader(), nullptr);
    MeasureRecord r{};
    g_hCardReader = -1;
    EXPECT_FALSE(CardReader()->PollCard(CardIdentityRef(r)));
    g_hCardReader = -2;
    EXPECT_FALSE(CardReader()->PollCard(CardIdentityRef(r)));
    EXPECT_TRUE(Lines("calls.log").empty());
    EXPECT_STREQ(r.ID, "");
}

TEST_F(CardPolling, PollingAnOpenReaderFillsIdNameAndSerial) {
    LayAlice("handle=12\n");
    CreateCardReader();
    g_hCardReader = OpenCardReader();
    ASSERT_EQ(g_hCardReader, 12);
    MeasureRecord r{};
    r.Number = 77;
    ASSERT_TRUE(CardReader()->PollCard(CardIdentityRef(r)));
    EXPECT_STREQ(r.ID, "M001");
    EXPECT_STREQ(r.Name, "Alice");
    EXPECT_EQ(r.CardSerial[1], 0x2B);
    EXPECT_EQ(r.Number, 77);

    Reader("handle=12\n");
    EXPECT_FALSE(CardReader()->PollCard(CardIdentityRef(r))) << "card taken off";
}

TEST_F(CardOpenAndSignal, AcknowledgementSignalsThenSwitchesOff) {
    Reader("handle=5\n");
    CreateCardReader();
    g_hCardReader = OpenCardReader();
    ASSERT_EQ(g_hCardReader, 5);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    CardReader()->Acknowledge(g_hCardReader);
    QueryPerformanceCounter(&end);
    EXPECT_GE((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart, 9);
    EXPECT_EQ(Lines("userport.log"), (std::vector<std::string>{"5 0x44", "5 0x00"}));

    // Start-up switches the outputs off with whatever handle it has, even none.
    WriteUserPort(-1, 0);
    EXPECT_EQ(Lines("userport.log").back(), "-1 0x00");
}

TEST_F(CardOpenAndSignal, OpenFailureIsNegativeAndSignExtended) {
    Reader("fault=open\n");
    CreateCardReader();
    EXPECT_EQ(OpenCardReader(), -1);
    Reader("handle=32767\n");
    EXPECT_EQ(OpenCardReader(), 32767);
}

TEST_F(CardOpenAndSignal, MissingLibraryOrEntriesMakeOpenFailAndTheRestIdle) {
    LayAlice();
    for (const char* name : {"NoSuchReader.dll", "kernel32.dll"}) {
        CNCIDCard card(name);
        EXPECT_LT(card.Open(), 0) << name;
        MemberEntry m{};
        EXPECT_FALSE(card.SelectCard(CardIdentityRef(m), 0)) << name;
        EXPECT_FALSE(card.ReadCard(CardIdentityRef(m), 0)) << name;
        EXPECT_FALSE(card.WriteCard(CardIdentityView(m), 0)) << name;
        card.Acknowledge(0);
    }
    EXPECT_TRUE(Lines("calls.log").empty());
    EXPECT_TRUE(Lines("userport.log").empty());

    // The library is looked for only by Open, and only beside the program or in System32:
    // one planted in the current folder or on the PATH is never loaded.
    CNCIDCard beside;
    EXPECT_EQ(GetModuleHandleA(kCardLibraryName), nullptr);
    EXPECT_GE(beside.Open(), 0);
    const fs::path planted = folder_ / "Planted.dll";
    fs::copy_file(wine_harness::ExeFolder() + kCardLibraryName, planted);
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof previous, previous);
    SetCurrentDirectoryA(folder_.string().c_str());
    const std::string path = wine_harness::Env("PATH", "");
    SetEnvironmentVariableA("PATH", (folder_.string() + ";" + path).c_str());
    CNCIDCard plantedCard("Planted.dll");
    EXPECT_LT(plantedCard.Open(), 0);
    SetEnvironmentVariableA("PATH", path.c_str());
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(GetModuleHandleA("Planted.dll"), nullptr);

    // Without the program-wide reader object nothing is called either.
    DeleteCardReader();
    EXPECT_LT(OpenCardReader(), 0);
    WriteUserPort(0, 0x44);
    EXPECT_TRUE(Lines("userport.log").empty());
}

} // namespace
