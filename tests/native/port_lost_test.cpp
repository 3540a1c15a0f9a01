// The analyzer's port going away: when the watch thread gives up on it, and what the
// measurement under way and the next start make of it.
#include "analyzer/port_health.h"
#include "analyzer_effects_recorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Events = std::vector<std::string>;

TEST(PortHealth, FailuresInARowLoseThePortDataInBetweenDoesNot) {
    PortHealth h;
    h.Failure();
    h.Failure();
    h.Data();
    h.Failure();
    h.Failure();
    EXPECT_FALSE(h.Lost());
    h.Empty(10); // a quiet read ends the run of failures too
    h.Failure();
    h.Failure();
    EXPECT_FALSE(h.Lost());
    h.Failure();
    EXPECT_TRUE(h.Lost());
    h.Data();
    EXPECT_TRUE(h.Lost()) << "a lost port stays lost";
}

TEST(PortHealth, EmptyReadsLoseThePortOnlyWhenTheyComeFast) {
    // A quiet line on Windows: one empty read per 500 ms timeout, for as long as it lasts.
    PortHealth quiet;
    for (uint32_t t = 0; t < 200000; t += 500)
        quiet.Empty(t);
    EXPECT_FALSE(quiet.Lost());

    // 49 at once are not yet enough; the 50th within the second is.
    PortHealth hungUp;
    for (int i = 0; i < PortHealth::kEmptyReadsToLose - 1; ++i)
        hungUp.Empty(5000);
    EXPECT_FALSE(hungUp.Lost());
    hungUp.Empty(5999);
    EXPECT_TRUE(hungUp.Lost());

    // Bursts cut apart by data or by the end of the window start again.
    PortHealth bursts;
    for (int round = 0; round < 10; ++round) {
        for (int i = 0; i < 40; ++i)
            bursts.Empty(static_cast<uint32_t>(round * 100));
        bursts.Data();
    }
    for (int i = 0; i < 40; ++i)
        bursts.Empty(2000);
    for (int i = 0; i < 40; ++i)
        bursts.Empty(3000);
    EXPECT_FALSE(bursts.Lost());

    // Across the wrap of the millisecond counter.
    PortHealth wrap;
    for (int i = 0; i < 25; ++i)
        wrap.Empty(0xFFFFFF00u);
    for (int i = 0; i < 25; ++i)
        wrap.Empty(0x00000010u);
    EXPECT_TRUE(wrap.Lost());
}

TEST(PortLost, MeasurementUnderWayIsDroppedWithoutARecord) {
    MeasureWorld w;
    w.settings.UseWebCam = 1;
    w.state = MeasureState::Identified;
    ASSERT_EQ(PressStart(w.ctx, w.fx,
                         [] {
                             StartRequest r;
                             r.freeSpaceKnown = true;
                             r.freeBytes = 1ull << 33;
                             r.channelExists = true;
                             return r;
                         }()),
              StartOutcome::Sent);
    w.Line("U/M T/5\r");
    w.Line("STA\r");
    w.Line("BRE\r");
    w.fx.Take();

    OnPortLost(w.ctx, w.fx);
    EXPECT_EQ(w.fx.Take(), (Events{"status:DISCONNECTED", "clear", "camera"}));
    EXPECT_EQ(w.state, MeasureState::Idle);
    // Lines of the dropped measurement that were still queued change nothing.
    w.Line(std::string("RES    0.040\r"));
    w.Line("END\r");
    EXPECT_TRUE(w.fx.Take().empty());
}

TEST(PortLost, StartedWithoutCameraAndIdleOrIdentifiedKeepTheirState) {
    MeasureWorld w;
    w.state = MeasureState::Started;
    OnPortLost(w.ctx, w.fx);
    EXPECT_EQ(w.fx.Take(), (Events{"status:DISCONNECTED", "clear"}));
    EXPECT_EQ(w.state, MeasureState::Idle);

    // Before "BRE" no photo froze the preview: the camera is left running.
    w.settings.UseWebCam = 1;
    w.state = MeasureState::Started;
    OnPortLost(w.ctx, w.fx);
    EXPECT_EQ(w.fx.Take(), (Events{"status:DISCONNECTED", "clear"}));

    w.state = MeasureState::Identified;
    OnPortLost(w.ctx, w.fx);
    EXPECT_EQ(w.fx.Take(), (Events{"status:DISCONNECTED"}));
    EXPECT_EQ(w.state, MeasureState::Identified);
}

TEST(PortLost, StartWhileTheLinkIsStillDownSendsNothingAndKeepsTheSubject) {
    MeasureWorld w;
    StartRequest r;
    r.freeSpaceKnown = true;
    r.freeBytes = 1ull << 33;
    r.typedId = "A1";
    r.typedName = "Kim";
    r.channelExists = true;
    r.channelLost = true;
    EXPECT_EQ(PressStart(w.ctx, w.fx, r), StartOutcome::NoLink);
    EXPECT_EQ(w.fx.Take(), (Events{"status:DISCONNECTED"}));
    EXPECT_EQ(w.state, MeasureState::Identified);
    EXPECT_EQ(w.fx.checkedId, "A1");

    // Once the port is back the same subject starts.
    r.channelLost = false;
    EXPECT_EQ(PressStart(w.ctx, w.fx, r), StartOutcome::Sent);
    EXPECT_EQ(w.fx.Take(), (Events{"send:$RECALL\r\n"}));

    // An unregistered pair is refused before the link matters; a full disk before that.
    MeasureWorld v;
    v.fx.memberValid = false;
    r.channelLost = true;
    EXPECT_EQ(PressStart(v.ctx, v.fx, r), StartOutcome::NotValid);
    r.freeBytes = 1;
    EXPECT_EQ(PressStart(v.ctx, v.fx, r), StartOutcome::DiskFull);
}

} // namespace
