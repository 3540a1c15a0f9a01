// The Backup dialog: the data file information it shows, and the move of the data file to a
// chosen name (copy, delete, close the program), with the chosen name given by the test.
#include "analyzer/measure_state.h"
#include "settings/backup_dialog.h"
#include "settings/settings_ids.h"
#include "wine/registration_world.h"

using namespace dialog_world;

namespace {

using namespace backup_ids;

// The save-file dialog replaced by the test's answer.
class TestBackup : public CBackup {
  public:
    using CBackup::CBackup;
    bool cancel = false;
    std::string chosen;
    std::string suggested;

  protected:
    bool ChooseBackupName(std::string& name) override {
        suggested = name;
        if (cancel)
            return false;
        name = chosen;
        return true;
    }
};

class BackupTest : public DialogWorldTest {
  protected:
    void SetUp() override {
        DialogWorldTest::SetUp();
        WriteRecords({test_records::LocalTime(2026, 1, 2), test_records::LocalTime(2026, 1, 5),
                      test_records::LocalTime(2026, 2, 1)});
    }
    void WriteRecords(const std::vector<int64_t>& times) {
        std::ofstream out(DataPath(), std::ios::binary | std::ios::trunc);
        const int32_t header[2] = {static_cast<int32_t>(times.size()), kDataFileMagic};
        out.write(reinterpret_cast<const char*>(header), sizeof header);
        for (int64_t time : times) {
            MeasureRecord r{};
            SetField(r.ID, "M001");
            r.Time = time;
            out.write(reinterpret_cast<const char*>(&r), sizeof r);
        }
    }
    INT_PTR Run(TestBackup& dialog, const std::function<void(HWND)>& script) {
        INT_PTR result = 0;
        ModalDriver::Drive("Backup", script, [&] { result = dialog.RunModal(nullptr); });
        EXPECT_TRUE(main_.HandlePosted()); // the WM_CLOSE the dialog posted, if any
        return result;
    }
    std::string Target(const char* name) const { return (folder_ / name).string(); }
    static bool Exists(const std::string& path) {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    ViewWindow main_; // counts the WM_CLOSE it gets
};

class BackupInformation : public BackupTest {};
class BackupMove : public BackupTest {};

TEST_F(BackupInformation, ShowsPathSizeAndTheDatesOfFirstAndLastRecord) {
    TestBackup dialog(main_.hwnd());
    std::string path, size, duration;
    Run(dialog, [&](HWND d) {
        path = ItemText(d, kPathEdit);
        size = ItemText(d, kSizeText);
        duration = ItemText(d, kDurationText);
        Click(d, IDOK);
    });
    EXPECT_EQ(path, DataPath());
    EXPECT_EQ(size, "224");
    EXPECT_EQ(duration, "2026-01-02 ~ 2026-02-01");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(main_.closes, 0);
}

TEST_F(BackupInformation, EmptyFileShowsNoDurationAndMissingFileIsReported) {
    WriteRecords({});
    TestBackup first(main_.hwnd());
    std::string size, duration;
    Run(first, [&](HWND d) {
        size = ItemText(d, kSizeText);
        duration = ItemText(d, kDurationText);
        Click(d, IDOK);
    });
    EXPECT_EQ(size, "8");
    EXPECT_EQ(duration, "");
    EXPECT_TRUE(messages.empty());

    DeleteFileA(DataPath().c_str());
    TestBackup second(main_.hwnd());
    std::string path;
    Run(second, [&](HWND d) {
        path = ItemText(d, kPathEdit);
        // Backup may still be pressed: the copy fails and nothing else happens.
        second.chosen = Target("nothing");
        Click(d, kBackupButton);
        Click(d, IDOK);
    });
    EXPECT_EQ(path, "");
    EXPECT_EQ(messages,
              (std::vector<std::string>{"File open fail.",
                                        "Backup will backup and delete original file. Continue ?",
                                        "Backup fail"}));
    EXPECT_FALSE(Exists(Target("nothing.dat")));
    EXPECT_EQ(main_.closes, 0);
}

TEST_F(BackupMove, NewNameCopiesDeletesAndClosesTheProgram) {
    TestBackup dialog(main_.hwnd());
    dialog.chosen = Target("backup");
    const std::string original = ReadWholeFile(DataPath());
    const INT_PTR result = Run(dialog, [&](HWND d) { Click(d, kBackupButton); });
    EXPECT_EQ(result, IDOK) << "the dialog ends with the backup";
    EXPECT_EQ(dialog.suggested, g_szDataFileName);
    EXPECT_EQ(messages,
              (std::vector<std::string>{"Backup will backup and delete original file. Continue ?",
                                        "Backup is completed. \r\nRestart program and create a "
                                        "new data file."}));
    EXPECT_EQ(ReadWholeFile(Target("backup.dat")), original);
    EXPECT_FALSE(Exists(DataPath()));
    EXPECT_EQ(main_.closes, 1);
}

// Backup waits for the measurement, and copies a record whose write failed too.
TEST_F(BackupMove, WaitsForTheMeasurementAndCopiesEveryRecord) {
    ASSERT_EQ(ReadDataFile(DataPath().c_str(), RecordTable), DataLoad::Loaded);
    AppendToTable(RecordTable, MeasureRecord{});
    g_nMeasureState = MeasureState::Identified;
    g_bMeasurementInFlight = true;
    TestBackup dialog(main_.hwnd());
    dialog.chosen = Target("backup");
    Run(dialog, [&](HWND d) {
        Click(d, kBackupButton);
        g_bMeasurementInFlight = false; // an identified subject alone is no measurement
        Click(d, kBackupButton);
    });
    g_nMeasureState = MeasureState::Idle;
    ResetRecordTable(RecordTable);
    EXPECT_EQ(messages.front(),
              "A measurement is under way.\r\nBackup when its result has been stored.");
    EXPECT_EQ(ReadWholeFile(Target("backup.dat")).size(), 8u + 4 * 72);
}

TEST_F(BackupMove, ExistingNameLeavesEverythingInPlace) {
    std::ofstream(Target("old.dat"), std::ios::binary) << "older backup";
    TestBackup dialog(main_.hwnd());
    dialog.chosen = Target("old");
    bool open = false;
    const std::string original = ReadWholeFile(DataPath());
    Run(dialog, [&](HWND d) {
        Click(d, kBackupButton);
        open = IsWindowVisible(d) != FALSE;
        Click(d, IDOK);
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(messages.back(), "Backup fail");
    EXPECT_EQ(ReadWholeFile(Target("old.dat")), "older backup");
    EXPECT_EQ(ReadWholeFile(DataPath()), original);
    EXPECT_EQ(main_.closes, 0);
}

TEST_F(BackupMove, NoOrCancelChangesNothing) {
    TestBackup dialog(main_.hwnd());
    dialog.chosen = Target("backup");
    Run(dialog, [&](HWND d) {
        answer = IDNO;
        Click(d, kBackupButton);
        EXPECT_TRUE(dialog.suggested.empty()) << "No stops before the save dialog";
        answer = IDYES;
        dialog.cancel = true;
        Click(d, kBackupButton);
        Click(d, IDOK);
    });
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_TRUE(Exists(DataPath()));
    EXPECT_FALSE(Exists(Target("backup.dat")));
    EXPECT_EQ(main_.closes, 0);
}

TEST_F(BackupMove, DataFileThatCannotBeDeletedStaysAndTheProgramGoesOn) {
    // Another program reads the data file and does not allow it to be deleted meanwhile.
    HANDLE held = CreateFileA(DataPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TestBackup dialog(main_.hwnd());
    dialog.chosen = Target("backup");
    const std::string original = ReadWholeFile(DataPath());
    bool open = false;
    Run(dialog, [&](HWND d) {
        Click(d, kBackupButton);
        open = IsWindowVisible(d) != FALSE;
        Click(d, IDOK);
    });
    CloseHandle(held);
    EXPECT_TRUE(open);
    EXPECT_EQ(messages.back(), "Backup file is made, but the data file could not be deleted");
    EXPECT_EQ(ReadWholeFile(Target("backup.dat")), original);
    EXPECT_EQ(ReadWholeFile(DataPath()), original);
    EXPECT_EQ(main_.closes, 0);
}

} // namespace
