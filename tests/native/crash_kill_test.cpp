// Writers killed for real (SIGKILL at random instants) while they append to the data file
// or rewrite QUELMA.CFG: whatever instant the kill lands on, the file loads, and holds
// every record stored before the interrupted write.
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using test_records::Numbered;

// Runs `work` in a child process and kills it `delayMicros` after its first completed
// save: kills that land before anything was written would prove nothing. `work` calls its
// argument after each save; returns how many the child completed. A child that ends by
// itself must have ended well: it only stops early when a load or save fails.
template <typename Work> int KillDuring(Work work, int delayMicros) {
    int saves[2];
    EXPECT_EQ(pipe(saves), 0);
    const pid_t child = fork();
    EXPECT_GE(child, 0);
    if (child == 0) {
        close(saves[0]);
        work([&] { (void)!write(saves[1], "s", 1); });
        _exit(0);
    }
    close(saves[1]);
    pollfd first{saves[0], POLLIN, 0};
    EXPECT_EQ(poll(&first, 1, 30000), 1) << "the writer never saved";
    usleep(static_cast<useconds_t>(delayMicros));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) ||
                (WIFEXITED(status) && WEXITSTATUS(status) == 0))
        << "the writer failed on its own, exit status " << WEXITSTATUS(status);
    int completed = 0;
    char buffer[256];
    for (ssize_t n; (n = read(saves[0], buffer, sizeof buffer)) > 0;)
        completed += static_cast<int>(n);
    close(saves[0]);
    return completed;
}

TEST(CrashKill, DataFileAppendsKilledAtRandomKeepEveryStoredRecord) {
    TempDir dir;
    const std::string path = dir.File("Quelma2026.dat");
    ASSERT_TRUE(CreateDataFile(path.c_str()));
    // Start just below 256 records, so the kills land around the change of the count's
    // second byte too.
    constexpr int kFirst = 250;
    RecordList table;
    ResetRecordTable(table);
    for (int i = 0; i < kFirst; ++i)
        AppendToTable(table, Numbered(i));
    ASSERT_TRUE(WriteDataFile(path.c_str(), table));
    std::mt19937 random(2026);
    int stored = kFirst;
    for (int round = 0; round < 60; ++round) {
        // The child appends from what the file holds now, one stored record at a time.
        const int saves = KillDuring(
            [&](auto saved) {
                RecordList table;
                if (ReadDataFile(path.c_str(), table) != DataLoad::Loaded)
                    _exit(1);
                for (int i = table.Count(); i < table.Count() + 400; ++i) {
                    AppendToTable(table, Numbered(i));
                    if (!WriteDataFile(path.c_str(), table))
                        _exit(2);
                    saved();
                }
            },
            static_cast<int>(random() % 20000));

        RecordList loaded;
        ASSERT_EQ(ReadDataFile(path.c_str(), loaded), DataLoad::Loaded) << "round " << round;
        ASSERT_GE(loaded.Count(), stored + saves) << "a stored record was lost in round " << round;
        for (int i = 0; i < loaded.Count(); ++i) {
            const MeasureRecord expected = Numbered(i);
            ASSERT_EQ(std::memcmp(&loaded.records[i], &expected, sizeof expected), 0)
                << "record " << i << " after round " << round;
        }
        stored = loaded.Count();
    }
    EXPECT_GT(stored, 256) << "the kills landed too early to cross the count's second byte";
    std::printf("crash: 60 appending writers killed, every reload whole, %d -> %d records\n",
                kFirst, stored);
}

TEST(CrashKill, ConfigRewritesKilledAtRandomLeaveOneWholeVersion) {
    TempDir dir;
    const std::string path = dir.File("QUELMA.CFG");
    AppSettings settings{};
    MemberList members;
    ASSERT_TRUE(CreateConfigFile(path.c_str(), 5, settings, members));
    settings.Speed = 1;
    ASSERT_TRUE(SaveSettingsFile(path.c_str(), settings, members));
    std::mt19937 random(7);
    int saves = 0;
    for (int round = 0; round < 40; ++round) {
        // The child saves two alternating versions: 5 members with speed 1, and 4 members
        // (ID4 removed) with speed 2.
        saves += KillDuring(
            [&](auto saved) {
                for (;;) {
                    AppSettings s{};
                    MemberList m;
                    if (!LoadConfigFile(path.c_str(), s, m))
                        _exit(1);
                    if (s.MemberCount == 5) {
                        RemoveMemberEntry(m, s, "ID4");
                        s.Speed = 2;
                    } else {
                        MemberEntry back{};
                        SetField(back.ID, "ID4");
                        SetField(back.Name, "NM4");
                        AddMemberEntry(m, s, back);
                        s.Speed = 1;
                    }
                    if (SaveMembersFile(path.c_str(), s, m) != SaveMembersResult::Saved)
                        _exit(2);
                    saved();
                }
            },
            static_cast<int>(random() % 20000));

        AppSettings loaded{};
        MemberList loadedMembers;
        ASSERT_TRUE(LoadConfigFile(path.c_str(), loaded, loadedMembers)) << "round " << round;
        const bool five = loaded.MemberCount == 5 && loaded.Speed == 1;
        const bool four = loaded.MemberCount == 4 && loaded.Speed == 2;
        EXPECT_TRUE(five || four) << "round " << round << ": " << loaded.MemberCount << " members";
        EXPECT_STREQ(loadedMembers.slots[0].ID, "ID0");
    }
    EXPECT_GE(saves, 40);
    std::printf("crash: 40 configuration writers killed after %d saves, every reload one whole "
                "version\n",
                saves);
}

} // namespace
