// The Setting dialog and the Setting command: combo items from the dialog's initialisation
// data, the copy OK stores, the port search, and what the command applies afterwards.
#include "app/app_state.h"
#include "app/commands.h"
#include "app/quelma_view.h"
#include "framework/handles.h"
#include "measure/measure_dialog.h"
#include "settings/setting_dialog.h"
#include "settings/settings_ids.h"
#include "wine/registration_world.h"

using namespace dialog_world;

namespace {

using namespace setting_ids;

std::vector<std::string> ComboItems(HWND dialog, int id) {
    std::vector<std::string> items;
    const auto n = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        char text[64] = {};
        SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(i),
                            reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

std::string ComboText(HWND dialog, int id) {
    return ItemText(dialog, id);
}

void SetCheck(HWND dialog, int id, bool on) {
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

// The port search answers what the test says instead of reading the registry.
class TestSetting : public CSetting {
  public:
    int found = 0;
    int port = 0;

  protected:
    int SearchPort(int* out) override {
        if (found)
            *out = port;
        return found;
    }
};

class SettingTest : public DialogWorldTest {
  protected:
    void SetUp() override {
        DialogWorldTest::SetUp();
        g_Settings = {.UseSound = 1,
                      .UseIdCard = 0,
                      .UseWebCam = 0,
                      .Mode = kModeFast,
                      .Low = 0.02f,
                      .Hi = 0.08f,
                      .Port = 4,
                      .Speed = 7,
                      .MemberCount = g_Settings.MemberCount};
    }
    bool Run(CSetting& dialog, const std::function<void(HWND)>& script) {
        return ModalDriver::Drive("Setting", script, [&] { dialog.RunModal(nullptr); });
    }
};

class SettingDialog : public SettingTest {};
class SettingCommand : public SettingTest {};

TEST_F(SettingDialog, OpensWithTheItemsAndTheCurrentValues) {
    std::vector<std::string> modes, ports, speeds;
    std::string mode, port, speed, low, hi;
    UINT web = 0, card = 0, sound = 0;
    TestSetting dialog;
    ASSERT_TRUE(Run(dialog, [&](HWND d) {
        modes = ComboItems(d, kModeCombo);
        ports = ComboItems(d, kPortCombo);
        speeds = ComboItems(d, kSpeedCombo);
        mode = ComboText(d, kModeCombo);
        port = ComboText(d, kPortCombo);
        speed = ComboText(d, kSpeedCombo);
        low = ItemText(d, kLowEdit);
        hi = ItemText(d, kHiEdit);
        web = IsDlgButtonChecked(d, kWebCamCheck);
        card = IsDlgButtonChecked(d, kIdCardCheck);
        sound = IsDlgButtonChecked(d, kSoundCheck);
        Click(d, IDCANCEL);
    }));
    EXPECT_EQ(modes, (std::vector<std::string>{"Normal"}));
    ASSERT_EQ(ports.size(), 20u);
    EXPECT_EQ(ports[0], "COM1");
    EXPECT_EQ(ports[9], "COM10");
    EXPECT_EQ(ports[19], "COM20");
    EXPECT_EQ(speeds, (std::vector<std::string>{"1200", "2400", "4800", "9600", "19200", "38400",
                                                "57600", "115200"}));
    EXPECT_EQ(mode, "Normal") << "shown whatever Mode holds";
    EXPECT_EQ(port, "COM5");
    EXPECT_EQ(speed, "115200");
    EXPECT_EQ(low, "0.020");
    EXPECT_EQ(hi, "0.080");
    EXPECT_EQ(web, static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(card, static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(sound, static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(dialog.SettingsSaved, 0);
}

TEST_F(SettingDialog, OkStoresTheControlsInTheCopyAndStaysOpen) {
    TestSetting dialog;
    bool open = false;
    AppSettings atOk{};
    Run(dialog, [&](HWND d) {
        SendDlgItemMessageA(d, kPortCombo, CB_SETCURSEL, 2, 0);
        SendDlgItemMessageA(d, kSpeedCombo, CB_SETCURSEL, 3, 0);
        SetItem(d, kLowEdit, "0.0500");
        SetItem(d, kHiEdit, "abc");
        SetCheck(d, kWebCamCheck, true);
        SetCheck(d, kIdCardCheck, true);
        SetCheck(d, kSoundCheck, false);
        Click(d, IDOK);
        open = IsWindowVisible(d) != FALSE;
        atOk = dialog.WorkSettings;
        // Typed into the port's edit field: no item selected, the stored index stays.
        SendDlgItemMessageA(d, kPortCombo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SetItem(d, kPortCombo, "COM33");
        SetCheck(d, kWebCamCheck, false);
        Click(d, IDOK);
        SetCheck(d, kSoundCheck, true); // after the last OK: discarded
        Click(d, IDCANCEL);
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(messages, (std::vector<std::string>{"Setting save O.K", "Setting save O.K"}));
    EXPECT_EQ(dialog.SettingsSaved, 1);
    const std::string members = " members=" + std::to_string(g_Settings.MemberCount);
    EXPECT_EQ(test_records::SettingsText(atOk),
              "sound=0 card=1 camera=1 mode=1 low=0.050 hi=0.000 port=2 speed=3" + members);
    EXPECT_EQ(test_records::SettingsText(dialog.WorkSettings),
              "sound=0 card=1 camera=0 mode=1 low=0.050 hi=0.000 port=2 speed=3" + members);
    EXPECT_EQ(g_Settings.Mode, kModeFast) << "the dialog never touches the program's settings";
}

TEST_F(SettingDialog, PortSearchMovesTheComboOnlyWhenItFindsAUsablePort) {
    TestSetting dialog;
    std::vector<std::string> shown;
    Run(dialog, [&](HWND d) {
        Click(d, kPortSearchButton);
        shown.push_back(ComboText(d, kPortCombo));
        dialog.found = 1;
        dialog.port = 24; // COM25: not in the list
        Click(d, kPortSearchButton);
        shown.push_back(ComboText(d, kPortCombo));
        dialog.port = 11;
        Click(d, kPortSearchButton);
        shown.push_back(ComboText(d, kPortCombo));
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(messages, (std::vector<std::string>{"Port serach fail", "Port serach fail",
                                                  "Port serach O.K"}));
    EXPECT_EQ(shown, (std::vector<std::string>{"COM5", "COM5", "COM12"}));
    EXPECT_EQ(dialog.SettingsSaved, 0);
}

// The command with the real dialog, as the main view runs it (no Measure dialog yet).
void RunCommand(const std::function<void(HWND)>& script) {
    CQuelmaView view;
    ModalDriver::Drive("Setting", script, [&] { RunSettingCommand(view); });
}

TEST_F(SettingCommand, OkThenExitAppliesAndSavesWhatOkStored) {
    g_pMeasureDlg = nullptr;
    const int members = g_Settings.MemberCount;
    RunCommand([&](HWND d) {
        SendDlgItemMessageA(d, kSpeedCombo, CB_SETCURSEL, 1, 0);
        SetItem(d, kLowEdit, "0.0500");
        SetCheck(d, kWebCamCheck, true);
        Click(d, IDOK);
        SetCheck(d, kSoundCheck, false); // after OK: not applied
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(g_Settings.Mode, kModeNormal);
    EXPECT_EQ(g_Settings.Speed, 1);
    EXPECT_FLOAT_EQ(g_Settings.Low, 0.05f);
    EXPECT_EQ(g_Settings.UseWebCam, 1) << "no Measure dialog yet: only the setting changes";
    EXPECT_EQ(g_Settings.UseSound, 1);
    EXPECT_EQ(g_Settings.MemberCount, members);
    const AppSettings file = FileSettings();
    EXPECT_EQ(std::memcmp(&file, &g_Settings, sizeof file), 0);
    EXPECT_EQ(FileMembers().size(), static_cast<size_t>(members));
}

// QUELMA.CFG held elsewhere: a failed save is told; a stored COM21 (not listed) stays.
TEST_F(SettingCommand, FailedSaveIsToldAndAnUnlistedPortIsKept) {
    g_Settings.Port = 20;
    fw::UniqueHandle held(CreateFileA(ConfigPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    RunCommand([&](HWND d) {
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    held.Reset();
    EXPECT_EQ(messages, (std::vector<std::string>{"QUELMA.CFG could not be written.\r\nThe "
                                                  "settings apply only until the program ends."}));
    EXPECT_EQ(g_Settings.Port, 20);
}

TEST_F(SettingCommand, ExitWithoutOkChangesNothing) {
    const AppSettings before = g_Settings;
    const AppSettings fileBefore = FileSettings();
    RunCommand([&](HWND d) {
        SetItem(d, kLowEdit, "0.9");
        Click(d, kPortSearchButton); // whatever it finds is not applied
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(std::memcmp(&before, &g_Settings, sizeof before), 0);
    const AppSettings fileAfter = FileSettings();
    EXPECT_EQ(std::memcmp(&fileBefore, &fileAfter, sizeof fileAfter), 0);
}

TEST_F(SettingCommand, SwitchingTheCardSystemOnOpensTheReaderOnce) {
    CardFolder cards;
    RunCommand([&](HWND d) {
        SetCheck(d, kIdCardCheck, true);
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    EXPECT_GE(g_hCardReader, 0);
    EXPECT_EQ(cards.Calls("Open"), 1);
    EXPECT_TRUE(messages == (std::vector<std::string>{"Setting save O.K"}));

    // Off, then on again with the reader still open: no second open.
    RunCommand([&](HWND d) {
        SetCheck(d, kIdCardCheck, false);
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    RunCommand([&](HWND d) {
        SetCheck(d, kIdCardCheck, true);
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(cards.Calls("Open"), 1);
    EXPECT_EQ(g_Settings.UseIdCard, 1);
}

TEST_F(SettingCommand, ReaderThatDoesNotOpenIsReported) {
    CardFolder cards;
    cards.Control("fault=open");
    RunCommand([&](HWND d) {
        SetCheck(d, kIdCardCheck, true);
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    EXPECT_LT(g_hCardReader, 0);
    EXPECT_EQ(messages, (std::vector<std::string>{"Setting save O.K", "Card reader open fail."}));
    EXPECT_EQ(g_Settings.UseIdCard, 1);
    EXPECT_EQ(FileSettings().UseIdCard, 1);
}

TEST_F(SettingCommand, WithTheMeasureDialogTheCameraStopsAndItsTextsFollow) {
    g_Settings.UseWebCam = 1;
    auto measure = std::make_unique<CMeasure>(nullptr, nullptr);
    ASSERT_TRUE(measure->CreateModeless(nullptr));
    g_pMeasureDlg = measure.get();
    SetField(measure->PhotoControl().PhotoPath, "");
    RunCommand([&](HWND d) {
        SetCheck(d, kWebCamCheck, false);
        SetItem(d, kLowEdit, "0.0500");
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(std::string(measure->PhotoControl().PhotoPath),
              InstallPath("Resources\\NO_image.bmp"));
    EXPECT_EQ(ItemText(measure->hwnd(), 1013), "Normal");
    EXPECT_EQ(ItemText(measure->hwnd(), 1014), "0.050");
    EXPECT_EQ(g_Settings.UseWebCam, 0);
    // Switched on, a camera that does not start takes no photos; the file keeps the choice.
    SetEnvironmentVariableA("QUELMA_CAM_DRIVERS", "0x");
    g_pMeasureDlg = measure.get(); // the command's view forgot it
    RunCommand([&](HWND d) {
        SetCheck(d, kWebCamCheck, true);
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    SetEnvironmentVariableA("QUELMA_CAM_DRIVERS", nullptr);
    EXPECT_EQ(g_Settings.UseWebCam, 0) << "records would claim photos of a camera that failed";
    EXPECT_EQ(FileSettings().UseWebCam, 1);
    EXPECT_EQ(std::string(measure->PhotoControl().PhotoPath),
              InstallPath("Resources\\NO_image.bmp"));
    g_pMeasureDlg = nullptr;
    measure.reset();
}

} // namespace
