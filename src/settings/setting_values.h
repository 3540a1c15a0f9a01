// The Setting dialog's conversions between the settings block and its controls, and what
// the Setting command has to do once the dialog has closed.
#pragma once

#include "storage/records.h"

#include <string>

// Low and Hi are shown with three decimals.
std::string ThresholdText(float value);
// The first nine characters read as a decimal number (its leading number part); 0.0 when
// there is none. No range or order test.
float ParseThreshold(const std::string& text);

// The item index to store for a combo: the selected item when there is one; otherwise
// (the operator typed into its edit field) the previous index, and item 0 when that is out
// of range too, so the serial channel never gets an index it has no port or speed for.
int ChosenIndex(int selected, int previous, int count);

// What the controls hold when OK is pressed.
struct SettingForm {
    int portSelection = -1; // CB_ERR when nothing is selected
    int speedSelection = -1;
    std::string low;
    std::string hi;
    bool useWebCam = false;
    bool useIdCard = false;
    bool useSound = false;
};

// Stores the form into the dialog's copy: Mode is always Normal, MemberCount is kept.
void StoreSettingForm(const SettingForm& form, AppSettings& work);

// The steps of applying a stored copy to the program.
enum class CameraChange { None, Stop, Start };
struct SettingChange {
    CameraChange camera = CameraChange::None;
    bool openCardReader = false;
};
// The camera changes only while the Measure dialog exists (it owns the camera); the reader
// is opened when the card system is switched on and no reader is open. Switching the card
// system off leaves an open reader alone.
SettingChange PlanSettingChange(const AppSettings& current, const AppSettings& work,
                                bool measureDialogExists, int cardReaderHandle);
