// The Setting dialog and the Setting command: combo items from the dialog's initialisation
// data, the copy OK stores, the port search, and what the command applies afterwards.
#include "app/app_state.h"
#include "app/commands.h"
#include "app/quelma_view.h"
#include "measure/measure_dialog.h"
#include "settings/setting_dialog.h"
#include "wine/registration_world.h"

using namespace dialog_world;

namespace {

constexpr int kModeCombo = 1020;
constexpr int kPortCombo = 1021;
constexpr int kSpeedCombo = 1022;
constexpr int kLowEdit = 1003;
constexpr int kHiEdit = 1004;
constexpr int kPortSearch = 1005;
constexpr int kWebCam = 1008;
constexpr int kIdCard = 1009;
constexpr int kSound = 1010;

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
        g_Settings.Mode = kModeFast;
        g_Settings.Port = 4;
        g_Settings.Speed = 7;
        g_Settings.Low = 0.02f;
        g_Settings.Hi = 0.08f;
        g_Settings.UseWebCam = 0;
        g_Settings.UseIdCard = 0;
        g_Settings.UseSound = 1;
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
        web = IsDlgButtonChecked(d, kWebCam);
        card = IsDlgButtonChecked(d, kIdCard);
        sound = IsDlgButtonChecked(d, kSound);
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
        SetCheck(d, kWebCam, true);
        SetCheck(d, kIdCard, true);
        SetCheck(d, kSound, false);
        Click(d, IDOK);
        open = IsWindowVisible(d) != FALSE;
        atOk = dialog.WorkSettings;
        // Typed into the port's edit field: no item selected, the stored index stays.
        SendDlgItemMessageA(d, kPortCombo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SetItem(d, kPortCombo, "COM33");
        SetCheck(d, kWebCam, false);
        Click(d, IDOK);
        SetCheck(d, kSound, true); // after the last OK: discarded
        Click(d, IDCANCEL);
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(messages, (std::vector<std::string>{"Setting save O.K", "Setting save O.K"}));
    EXPECT_EQ(dialog.SettingsSaved, 1);
    EXPECT_EQ(atOk.Mode, kModeNormal);
    EXPECT_EQ(atOk.Port, 2);
    EXPECT_EQ(atOk.Speed, 3);
    EXPECT_FLOAT_EQ(atOk.Low, 0.05f);
    EXPECT_EQ(atOk.Hi, 0.0f);
    EXPECT_EQ(atOk.UseWebCam, 1);
    EXPECT_EQ(atOk.UseIdCard, 1);
    EXPECT_EQ(atOk.UseSound, 0);
    EXPECT_EQ(dialog.WorkSettings.Port, 2);
    EXPECT_EQ(dialog.WorkSettings.UseWebCam, 0);
    EXPECT_EQ(dialog.WorkSettings.UseSound, 0);
    EXPECT_EQ(dialog.WorkSettings.MemberCount, g_Settings.MemberCount);
    EXPECT_EQ(g_Settings.Mode, kModeFast) << "the dialog never touches the program's settings";
}

TEST_F(SettingDialog, PortSearchMovesTheComboOnlyWhenItFindsAUsablePort) {
    TestSetting dialog;
    std::vector<std::string> shown;
    Run(dialog, [&](HWND d) {
        Click(d, kPortSearch);
        shown.push_back(ComboText(d, kPortCombo));
        dialog.found = 1;
        dialog.port = 24; // COM25: not in the list
        Click(d, kPortSearch);
        shown.push_back(ComboText(d, kPortCombo));
        dialog.port = 11;
        Click(d, kPortSearch);
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
        SetCheck(d, kWebCam, true);
        Click(d, IDOK);
        SetCheck(d, kSound, false); // after OK: not applied
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

TEST_F(SettingCommand, ExitWithoutOkChangesNothing) {
    const AppSettings before = g_Settings;
    const AppSettings fileBefore = FileSettings();
    RunCommand([&](HWND d) {
        SetItem(d, kLowEdit, "0.9");
        Click(d, kPortSearch); // whatever it finds is not applied
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(std::memcmp(&before, &g_Settings, sizeof before), 0);
    const AppSettings fileAfter = FileSettings();
    EXPECT_EQ(std::memcmp(&fileBefore, &fileAfter, sizeof fileAfter), 0);
}

TEST_F(SettingCommand, SwitchingTheCardSystemOnOpensTheReaderOnce) {
    CardFolder cards;
    RunCommand([&](HWND d) {
        SetCheck(d, kIdCard, true);
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    EXPECT_GE(g_hCardReader, 0);
    EXPECT_EQ(cards.Calls("Open"), 1);
    EXPECT_TRUE(messages == (std::vector<std::string>{"Setting save O.K"}));

    // Off, then on again with the reader still open: no second open.
    RunCommand([&](HWND d) {
        SetCheck(d, kIdCard, false);
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    RunCommand([&](HWND d) {
        SetCheck(d, kIdCard, true);
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
        SetCheck(d, kIdCard, true);
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
        SetCheck(d, kWebCam, false);
        SetItem(d, kLowEdit, "0.0500");
        Click(d, IDOK);
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(std::string(measure->PhotoControl().PhotoPath),
              InstallPath("Resources\\NO_image.bmp"));
    EXPECT_EQ(ItemText(measure->hwnd(), 1013), "Normal");
    EXPECT_EQ(ItemText(measure->hwnd(), 1014), "0.050");
    EXPECT_EQ(g_Settings.UseWebCam, 0);
    g_pMeasureDlg = nullptr;
    measure.reset();
}

} // namespace
