#include "analyzer/analyzer_protocol.h"
#include "analyzer_effects_recorder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Events = std::vector<std::string>;

std::string Res(const std::string& value) {
    return "RES    " + value + "\r";
}

float Value(const std::string& fromIndex7) {
    const std::string line = "RES" + std::string(4, '#') + fromIndex7;
    return ReadResultValue(line.data(), static_cast<int>(line.size()));
}

TEST(AnalyzerProtocol, IdleIgnoresEveryLine) {
    MeasureWorld w;
    w.total = 7;
    w.record.Unit = 2;
    for (const char* line : {"U/M T/120\r", "END\r", "RES    0.300\r", "BRE\r", "INI x\r", "FLO\r"})
        w.Line(line);
    EXPECT_TRUE(w.fx.Take().empty());
    EXPECT_EQ(w.state, MeasureState::Idle);
    EXPECT_EQ(w.total, 7);
    EXPECT_EQ(w.record.Unit, 2);
}

TEST(AnalyzerProtocol, UnitLineReadsUnitAndTotalAndAsksForTheMode) {
    MeasureWorld w;
    w.settings.Mode = kModeNormal;
    w.state = MeasureState::Started;
    w.Line("U/M abc T/120\r");
    EXPECT_EQ(w.fx.Take(), (Events{"mark:0", "send:$START\r\n"}));
    EXPECT_EQ(w.state, MeasureState::Measuring);
    EXPECT_EQ(w.record.Unit, 1);
    EXPECT_EQ(w.total, 120);

    // A second unit line while measuring sends the mode command again; Fast asks for FAST.
    w.settings.Mode = kModeFast;
    w.Line("U/B\r");
    EXPECT_EQ(w.fx.Take(), (Events{"mark:0", "send:$FAST\r\n"}));
    EXPECT_EQ(w.record.Unit, 0);
    EXPECT_EQ(w.total, 120) << "no T/ keeps the total";

    w.state = MeasureState::Identified;
    w.Line("U/G T/ \t 42x9\r");
    EXPECT_EQ(w.state, MeasureState::Measuring);
    EXPECT_EQ(w.record.Unit, 2);
    EXPECT_EQ(w.total, 42);
}

TEST(AnalyzerProtocol, TotalReading) {
    auto total = [](const std::string& line, int before) {
        int t = before;
        ReadDeviceTotal(line.data(), static_cast<int>(line.size()), &t);
        return t;
    };
    EXPECT_EQ(total("U/M T/", 5), 0) << "T/ without digits reads 0";
    EXPECT_EQ(total("U/M XT/7 T/9", 5), 7) << "the first T/ counts";
    EXPECT_EQ(total("U/M T /9 t/8", 5), 5);
    EXPECT_EQ(total("U/M T/-3", 5), 0) << "digits only";
    EXPECT_EQ(total("U/M T/99999999999999999999", 5), INT_MAX);
    EXPECT_EQ(total(std::string("U/M\0T/55", 8), 5), 55) << "noise does not hide the total";
    // The unit token's own "/" never counts as a total.
    EXPECT_EQ(total("U/T/3", 5), 3);
}

TEST(AnalyzerProtocol, FastModeClassesTakeTheHigherClassAtAThreshold) {
    struct Case {
        const char* value;
        const char* shown;
        int level;
    };
    // A result that comes before the unit line is stored all the same.
    for (const Case& c : {Case{"0.099", "0", 0}, Case{"0.1", "Low", 1}, Case{"0.2", "Low", 1},
                          Case{"0.25", "Hi", 2}, Case{"3.0", "Hi", 2}, Case{"-1", "0", 0}}) {
        for (int state :
             {MeasureState::Identified, MeasureState::Started, MeasureState::Measuring}) {
            MeasureWorld w;
            w.state = state;
            w.record.Level = 9;
            w.Line(Res(c.value));
            EXPECT_EQ(w.fx.Take(),
                      (Events{"mode:Fast", std::string("status:") + c.shown, "mark:3", "store"}))
                << c.value << " in state " << state;
            EXPECT_EQ(w.record.Level, c.level) << c.value;
            EXPECT_FLOAT_EQ(w.record.Value, std::stof(c.value));
            EXPECT_EQ(w.state, state);
        }
    }
}

TEST(AnalyzerProtocol, NormalModeShowsTheValueWithItsUnitAndKeepsTheLevel) {
    MeasureWorld w;
    w.settings.Mode = kModeNormal;
    w.state = MeasureState::Measuring;
    w.record.Unit = 0;
    w.record.Level = 2;
    w.Line(Res("0.05"));
    EXPECT_EQ(w.fx.Take(), (Events{"mode:Normal", "status:0.050 %BAC", "mark:3", "store"}));
    EXPECT_EQ(w.record.Level, 2);

    w.record.Unit = 1;
    w.Line(Res("0.045"));
    EXPECT_EQ(w.fx.Take()[1], "status:0.045 mg/l");
    w.record.Unit = 2;
    w.Line("RES");
    EXPECT_EQ(w.fx.Take()[1], "status:0.000 g/l");
    EXPECT_EQ(w.record.Value, 0.0f);
}

TEST(AnalyzerProtocol, ResultIsReadFromIndexSeven) {
    EXPECT_FLOAT_EQ(Value("0.045\r"), 0.045f);
    EXPECT_FLOAT_EQ(Value(" \t+.5"), 0.5f);
    EXPECT_FLOAT_EQ(Value("-2.\r"), -2.0f);
    EXPECT_FLOAT_EQ(Value("1.5e2x"), 150.0f);
    EXPECT_FLOAT_EQ(Value("1.5E-1"), 0.15f);
    EXPECT_FLOAT_EQ(Value("7e"), 7.0f) << "an exponent without digits is not read";
    EXPECT_FLOAT_EQ(Value("7e+"), 7.0f);
    EXPECT_FLOAT_EQ(Value("0x10"), 0.0f);
    EXPECT_FLOAT_EQ(Value("inf"), 0.0f);
    EXPECT_FLOAT_EQ(Value("nan"), 0.0f);
    EXPECT_FLOAT_EQ(Value("."), 0.0f);
    EXPECT_FLOAT_EQ(Value("-"), 0.0f);
    EXPECT_FLOAT_EQ(Value(""), 0.0f);
    EXPECT_TRUE(std::isinf(Value("1e999")));
    EXPECT_TRUE(std::isinf(Value("-1e39")) && Value("-1e39") < 0) << "beyond float";
    EXPECT_EQ(Value("1e-999"), 0.0f);
    EXPECT_EQ(Value("0." + std::string(400, '0') + "1"), 0.0f);
    EXPECT_TRUE(std::isinf(Value("1" + std::string(400, '0'))));
    // "RES 0.045" has its number at index 4: from index 7 on only "45" is left.
    const std::string shortLine = "RES 0.045";
    EXPECT_FLOAT_EQ(ReadResultValue(shortLine.data(), static_cast<int>(shortLine.size())), 45.0f);
}

TEST(AnalyzerProtocol, EndReturnsToIdleOnlyFromMeasuring) {
    MeasureWorld w;
    w.state = MeasureState::Started;
    w.Line("END\r");
    EXPECT_EQ(w.fx.Take(), (Events{"status:Ready"}));
    EXPECT_EQ(w.state, MeasureState::Started);

    w.state = MeasureState::Identified;
    w.Line("END");
    EXPECT_EQ(w.fx.Take(), (Events{"status:Ready"}));
    EXPECT_EQ(w.state, MeasureState::Identified);

    w.state = MeasureState::Measuring;
    w.Line("END\r");
    EXPECT_EQ(w.fx.Take(), (Events{"status:Ready", "clear"}));
    EXPECT_EQ(w.state, MeasureState::Idle);

    w.settings.UseWebCam = 1;
    w.state = MeasureState::Measuring;
    w.Line("END\r");
    EXPECT_EQ(w.fx.Take(), (Events{"status:Ready", "clear", "camera"}));
}

TEST(AnalyzerProtocol, IniShowsTheTextAfterTheSeparator) {
    MeasureWorld w;
    w.state = MeasureState::Started;
    w.Line("INI\r");
    EXPECT_EQ(w.fx.Take(), (Events{"status:"}));
    w.Line("INI");
    EXPECT_EQ(w.fx.Take(), (Events{"status:"}));
    w.Line("INI 12 sec\r");
    EXPECT_EQ(w.fx.Take(), (Events{"status:12 sec\r"}));
    // Noise inside the text neither ends it early nor reaches the display raw.
    w.Line(std::string("INI:a\0b\x01\x7f\xe9z\r", 12));
    EXPECT_EQ(w.fx.Take(), (Events{"status:a?b???z\r"}));
    EXPECT_EQ(w.state, MeasureState::Started);
}

TEST(AnalyzerProtocol, FixedTextsAndTheirBoxes) {
    struct Case {
        std::string line;
        Events events;
    };
    const Case cases[] = {
        {"WAI\r", {"status:WAIT"}},
        {"WAIT\r", {"status:WAIT"}},
        {"STA\r", {"status:Blow", "mark:1"}},
        {"TRI 3\r", {"status:Blow", "mark:1"}},
        {"FLOW\r", {"status:FLOW"}},
        {"TIM\r", {"status:OUT"}},
        {"SEN ERR\r", {"status:SEN ERR"}},
        {"CAL\r", {"status:RECAL"}},
        {"BAT LOW\r", {"status:BAT"}},
        {"EN", {}},
        {"end\r", {}},
        {"XYZ\r", {}},
        {"", {}},
        {std::string("\0END\r", 5), {}},
        {"STA\x01\xff\r", {"status:Blow", "mark:1"}},
    };
    for (const Case& c : cases) {
        for (int state :
             {MeasureState::Identified, MeasureState::Started, MeasureState::Measuring}) {
            MeasureWorld w;
            w.state = state;
            w.Line(c.line);
            EXPECT_EQ(w.fx.Take(), c.events) << c.line << " in state " << state;
            EXPECT_EQ(w.state, state) << c.line;
        }
    }
}

TEST(AnalyzerProtocol, BreathStampsTheTimeAndTakesThePhotoWithTheCamera) {
    for (int state : {MeasureState::Identified, MeasureState::Started}) {
        MeasureWorld early;
        early.state = state;
        early.Line("BRE\r");
        EXPECT_EQ(early.fx.Take(), (Events{"status:Analyzing", "mark:2"})) << state;
        EXPECT_EQ(early.record.Time, 1700000000) << state;
        EXPECT_EQ(early.state, state);
    }
    MeasureWorld w;
    w.state = MeasureState::Measuring;
    w.record.Photo = 1;
    w.Line("BRE\r");
    EXPECT_EQ(w.fx.Take(), (Events{"status:Analyzing", "mark:2"}));
    EXPECT_EQ(w.record.Time, 1700000000);
    EXPECT_EQ(w.record.Photo, 0);

    w.settings.UseWebCam = 1;
    w.fx.now = 1800000000;
    w.Line("BRE\r");
    EXPECT_EQ(w.fx.Take(), (Events{"status:Analyzing", "mark:2", "photo"}));
    EXPECT_EQ(w.record.Time, 1800000000);
    EXPECT_EQ(w.record.Photo, 1);
    w.fx.photoWritten = false;
    w.Line("BRE\r");
    EXPECT_EQ(w.record.Photo, 0) << "a photo whose file was not written is claimed";
}

TEST(MeasureStateStart, DiskSpaceIsCheckedFirstAndExactly) {
    MeasureWorld w;
    StartRequest r;
    r.freeSpaceKnown = true;
    r.freeBytes = 4999999;
    r.typedId = "A1";
    r.typedName = "Kim";
    r.channelExists = true;
    EXPECT_EQ(PressStart(w.ctx, w.fx, r), StartOutcome::DiskFull);
    EXPECT_EQ(w.fx.Take(), (Events{"beep", "message:Disk full !!!\r\nBackup data file."}));
    EXPECT_EQ(w.state, MeasureState::Idle);

    r.freeSpaceKnown = false;
    r.freeBytes = 1ull << 40;
    EXPECT_EQ(PressStart(w.ctx, w.fx, r), StartOutcome::DiskFull);
    w.fx.Take();

    r.freeSpaceKnown = true;
    r.freeBytes = 5000000;
    EXPECT_EQ(PressStart(w.ctx, w.fx, r), StartOutcome::Sent);
    EXPECT_EQ(w.fx.Take(), (Events{"send:$RECALL\r\n"}));
    EXPECT_EQ(w.state, MeasureState::Started);

    // Even during a measurement a full disk is reported.
    r.freeBytes = 10;
    EXPECT_EQ(PressStart(w.ctx, w.fx, r), StartOutcome::DiskFull);
    EXPECT_EQ(w.state, MeasureState::Started);
}

StartRequest Enough(const char* id, const char* name, bool channel = true) {
    StartRequest r;
    r.freeSpaceKnown = true;
    r.freeBytes = 1ull << 33;
    r.typedId = id;
    r.typedName = name;
    r.channelExists = channel;
    return r;
}

TEST(MeasureStateStart, IdleTakesTheEditsCutToTheirFields) {
    MeasureWorld w;
    w.settings.Mode = kModeNormal;
    w.settings.Low = 0.02f;
    w.settings.Hi = 0.08f;
    EXPECT_EQ(PressStart(w.ctx, w.fx, Enough("123456789012", "A name much longer than 19")),
              StartOutcome::Sent);
    EXPECT_EQ(w.fx.checkedId, "123456789");
    EXPECT_EQ(w.fx.checkedName, "A name much longer ");
    EXPECT_EQ(w.record.Mode, kModeNormal);
    EXPECT_FLOAT_EQ(w.record.Low, 0.02f);
    EXPECT_FLOAT_EQ(w.record.Hi, 0.08f);

    // Pressed again while started: nothing is sent twice.
    w.fx.Take();
    EXPECT_EQ(PressStart(w.ctx, w.fx, Enough("x", "y")), StartOutcome::Ignored);
    w.state = MeasureState::Measuring;
    EXPECT_EQ(PressStart(w.ctx, w.fx, Enough("x", "y")), StartOutcome::Ignored);
    EXPECT_TRUE(w.fx.Take().empty());
}

TEST(MeasureStateStart, IdentifiedSubjectStandsOnlyWhileTheEditsShowIt) {
    MeasureWorld w;
    MemberEntry card{};
    SetField(card.ID, "CARD1");
    SetField(card.Name, "Lee");
    OnMemberSelectionClosed(w.ctx, &card);
    EXPECT_EQ(w.state, MeasureState::Identified);
    EXPECT_EQ(PressStart(w.ctx, w.fx, Enough("typed", "other")), StartOutcome::Sent);
    EXPECT_EQ(w.fx.checkedId + w.fx.checkedName, "typedother") << "the picked subject was kept";
}

TEST(MeasureStateStart, InvalidSubjectAndMissingChannel) {
    MeasureWorld w;
    w.fx.memberValid = false;
    EXPECT_EQ(PressStart(w.ctx, w.fx, Enough("1", "x")), StartOutcome::NotValid);
    EXPECT_EQ(w.fx.Take(), (Events{"message:Not a valid ID, Name set"}));
    EXPECT_EQ(w.state, MeasureState::Idle);

    w.fx.memberValid = true;
    EXPECT_EQ(PressStart(w.ctx, w.fx, Enough("1", "x", false)), StartOutcome::NoChannel);
    EXPECT_EQ(w.fx.Take(), (Events{"status:DISCONNECTED"})) << "a start without a port is silent";
    EXPECT_EQ(w.state, MeasureState::Identified);
}

TEST(MeasureStateOperator, CardsAndMemberChoice) {
    MeasureWorld w;
    EXPECT_TRUE(CardPollAllowed(MeasureState::Idle));
    EXPECT_TRUE(CardPollAllowed(MeasureState::Identified));
    EXPECT_FALSE(CardPollAllowed(MeasureState::Started));
    EXPECT_FALSE(CardPollAllowed(MeasureState::Measuring));

    MeasureRecord card{};
    EXPECT_FALSE(OnCardRead(w.ctx, card)) << "the same card again";
    EXPECT_EQ(w.state, MeasureState::Idle);
    std::memcpy(card.ID, "0123456789", 10); // a card may fill the whole field
    EXPECT_TRUE(OnCardRead(w.ctx, card));
    EXPECT_EQ(w.state, MeasureState::Identified);
    SetField(card.Name, "Other"); // the same ID with another name or serial: another card
    EXPECT_TRUE(OnCardRead(w.ctx, card)) << "a card with another name was ignored";
    card.CardSerial[0] = 9;
    EXPECT_TRUE(OnCardRead(w.ctx, card)) << "a card with another serial was ignored";
    // Edits left alone show the card's ID cut to 9 characters: the card stays the subject.
    EXPECT_EQ(PressStart(w.ctx, w.fx, Enough("012345678", "Other")), StartOutcome::Sent);
    EXPECT_EQ(w.record.CardSerial[0], 9);

    // Cancelling the selection still identifies, from any state, and keeps the subject.
    w.state = MeasureState::Measuring;
    OnMemberSelectionClosed(w.ctx, nullptr);
    EXPECT_EQ(w.state, MeasureState::Identified);
    EXPECT_EQ(std::string(w.next.ID, 10), "0123456789");

    MemberEntry damaged{};
    std::memset(damaged.ID, 'I', sizeof damaged.ID);
    std::memset(damaged.Name, 'N', sizeof damaged.Name);
    OnMemberSelectionClosed(w.ctx, &damaged);
    EXPECT_EQ(std::string(w.next.ID), "IIIIIIIII");
    EXPECT_EQ(std::string(w.next.Name), std::string(19, 'N'));

    ResetMeasureState(w.ctx);
    EXPECT_EQ(w.state, MeasureState::Idle);
}

TEST(MeasureStateOperator, OneWholeMeasurement) {
    MeasureWorld w;
    w.settings.Mode = kModeNormal;
    w.settings.UseWebCam = 1;
    ASSERT_EQ(PressStart(w.ctx, w.fx, Enough("ID1", "Ann")), StartOutcome::Sent);
    for (const char* line :
         {"U/M T/321\r", "INI 5\r", "WAI\r", "STA\r", "BRE\r", "RES    0.045\r", "END\r"})
        w.Line(line);
    EXPECT_EQ(w.fx.Take(),
              (Events{"send:$RECALL\r\n", "mark:0", "send:$START\r\n", "status:5\r", "status:WAIT",
                      "status:Blow", "mark:1", "status:Analyzing", "mark:2", "photo", "mode:Normal",
                      "status:0.045 mg/l", "mark:3", "store", "status:Ready", "clear", "camera"}));
    EXPECT_EQ(w.state, MeasureState::Idle);
    EXPECT_EQ(w.total, 321);
    EXPECT_EQ(w.record.Unit, 1);
    EXPECT_FLOAT_EQ(w.record.Value, 0.045f);
    EXPECT_EQ(std::string(w.record.ID), "ID1");
    // A result without its own "BRE" is stamped when it comes, without a photo.
    w.fx.now = 1800000000;
    ASSERT_EQ(PressStart(w.ctx, w.fx, Enough("ID1", "Ann")), StartOutcome::Sent);
    w.Line("RES    0.010\r");
    EXPECT_EQ(w.record.Time, 1800000000) << "the earlier measurement's time was stored";
    EXPECT_EQ(w.record.Photo, 0);
}

// A pick, a card or typing while a measurement is in flight prepares the next subject only.
TEST(MeasureStateOperator, TheMeasurementInFlightKeepsItsSubject) {
    MeasureWorld w;
    w.settings.UseWebCam = 1;
    ASSERT_EQ(PressStart(w.ctx, w.fx, Enough("A1", "Alice")), StartOutcome::Sent);
    for (const char* line : {"U/B\r", "STA\r", "BRE\r"})
        w.Line(line);
    MemberEntry bob{};
    SetField(bob.ID, "B2");
    OnMemberSelectionClosed(w.ctx, &bob); // the way out of a stuck measurement stays
    EXPECT_FALSE(BackupAllowed(w.state, w.inFlight)) << "a result is still to come";
    w.Line(Res("0.020"));
    ASSERT_EQ(w.fx.stored.size(), 1u);
    EXPECT_EQ(std::string(w.fx.stored[0].ID), "A1") << "stored as the subject picked later";
    EXPECT_EQ(w.fx.photoOf, "A1") << "the photo was named after another subject";
    EXPECT_TRUE(BackupAllowed(w.state, w.inFlight)) << "an identified subject is no measurement";
}

TEST(MeasureStateOperator, ProgramContextBindsTheGlobals) {
    MeasureContext ctx = ProgramMeasureContext();
    EXPECT_EQ(&ctx.state, &g_nMeasureState);
    EXPECT_EQ(g_nMeasureState, MeasureState::Idle);
}

} // namespace
