// QUELMA.CFG as start-up loads it, and everything that follows from a loaded file: the
// member lists, the Setting dialog's conversions, and both rewrites, which must load back
// to what was written.
#include "fuzz_support.h"

#include "members/member_rows.h"
#include "results/result_filter.h"
#include "settings/setting_values.h"
#include "storage/config_file.h"
#include "storage/file_io.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using fuzz::Require;

size_t MembersHeld(size_t size) {
    return size < sizeof(AppSettings) ? 0 : (size - sizeof(AppSettings)) / sizeof(MemberEntry);
}

void CheckTable(const AppSettings& settings, const MemberList& members, size_t fileSize) {
    Require(settings.MemberCount >= 0, "member count never negative");
    Require(static_cast<size_t>(settings.MemberCount) <= MembersHeld(fileSize),
            "no more members than the file holds");
    Require(members.loaded, "table marked loaded");
    Require(members.Capacity() == settings.MemberCount + kMemberGrowth,
            "capacity is MemberCount + 50");
    for (int i = 0; i < members.Capacity(); ++i) {
        const MemberEntry& slot = members.slots[static_cast<size_t>(i)];
        Require(fuzz::Terminated(slot.ID) && fuzz::Terminated(slot.Name), "slot texts end");
        if (i >= settings.MemberCount)
            Require(slot.InUse == 0 && slot.ID[0] == 0 && slot.Name[0] == 0,
                    "slots past the members are free");
    }
}

// The bytes of member i as loaded: the file's, with the last byte of each text zeroed.
bool SameMember(const MemberEntry& loaded, const uint8_t* fileEntry) {
    MemberEntry expected;
    std::memcpy(&expected, fileEntry, sizeof expected);
    expected.ID[sizeof expected.ID - 1] = 0;
    expected.Name[sizeof expected.Name - 1] = 0;
    return std::memcmp(&expected, &loaded, sizeof expected) == 0;
}

void CheckSettingDialog(const AppSettings& loaded, const std::string& typed) {
    // What the dialog shows for stored thresholds, and what it stores for typed ones.
    Require(ThresholdText(loaded.Low).size() < 64 && ThresholdText(loaded.Hi).size() < 64,
            "threshold texts fit");
    AppSettings work = loaded;
    SettingForm form;
    form.portSelection = loaded.UseSound % 25 - 2;
    form.speedSelection = loaded.UseIdCard % 12 - 2;
    form.low = typed;
    form.hi = typed.size() > 3 ? typed.substr(3) : typed;
    StoreSettingForm(form, work);
    Require(work.Port >= 0 && work.Port < kStorablePortCount, "port index in range");
    Require(work.Speed >= 0 && work.Speed < kSpeedCount, "speed index in range");
    Require(work.MemberCount == loaded.MemberCount, "the dialog keeps the member count");
    const float bound = ParseRangeBound(typed);
    Require(!std::isnan(bound) || typed.find_first_of("nN") != std::string::npos,
            "a NaN bound comes only from a NaN text");
}

void CheckRewrites(const fuzz::ScratchFile& file, const uint8_t* data, size_t size,
                   AppSettings settings, MemberList members) {
    // Settings rewrite: same settings and members back, old bytes beyond them kept.
    Require(SaveSettingsFile(file.Path(), settings, members), "settings rewrite");
    std::vector<uint8_t> bytes;
    Require(file_io::ReadAll(file.Path(), bytes) == file_io::Read::Ok, "read back");
    Require(bytes.size() == (size > 36 + 40 * static_cast<size_t>(settings.MemberCount)
                                 ? size
                                 : 36 + 40 * static_cast<size_t>(settings.MemberCount)),
            "the file never shrinks");
    const size_t used = sizeof(AppSettings) + sizeof(MemberEntry) * settings.MemberCount;
    Require(bytes.size() == used || std::memcmp(bytes.data() + used, data + used, size - used) == 0,
            "bytes past the content are kept");
    AppSettings again{};
    MemberList reloaded;
    Require(LoadConfigFile(file.Path(), again, reloaded), "reload after settings rewrite");
    Require(std::memcmp(&again, &settings, sizeof again) == 0, "settings load back");
    Require(std::memcmp(reloaded.data(), members.data(),
                        sizeof(MemberEntry) * static_cast<size_t>(settings.MemberCount)) == 0,
            "members load back");

    // The Registration dialog's way: drop the first member, add one, save, reload.
    const std::vector<MemberRowText> rows = MemberRows(members, settings);
    Require(rows.size() <= static_cast<size_t>(settings.MemberCount), "rows of members in use");
    if (!rows.empty())
        Require(RemoveMemberEntry(members, settings, rows[0].id.c_str()), "remove a listed ID");
    Require(AddMemberEntry(members, settings, MakeMemberEntry("FUZZ", "Fuzz Member")), "add");
    SortMembersInUse(members, settings, 2, 1);
    const int expected = settings.MemberCount;
    Require(SaveMembersFile(file.Path(), settings, members) == SaveMembersResult::Saved,
            "members save");
    Require(settings.MemberCount == expected, "saved member count");
    std::vector<uint8_t> after;
    Require(file_io::ReadAll(file.Path(), after) == file_io::Read::Ok, "read after save");
    CheckTable(settings, members, after.size());
    Require(FindMember(members, "FUZZ", settings.MemberCount), "the added member was saved");
    for (int i = 0; i < settings.MemberCount; ++i)
        Require(members.slots[static_cast<size_t>(i)].InUse != 0, "saved members are in use");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchFile file("QUELMA.CFG");
    file.Write(data, size);
    AppSettings settings{};
    MemberList members;
    const bool loaded = LoadConfigFile(file.Path(), settings, members);
    Require(loaded == (size >= sizeof(AppSettings)), "loads exactly the files with settings");
    if (!loaded)
        return 0;
    CheckTable(settings, members, size);
    for (int i = 0; i < settings.MemberCount; ++i)
        Require(SameMember(members.slots[static_cast<size_t>(i)],
                           data + sizeof(AppSettings) + sizeof(MemberEntry) * i),
                "members are the file's entries");
    for (const MemberEntry* slot : InUseSlots(members, settings))
        Require(FindMember(members, slot->ID, settings.MemberCount), "in-use IDs are found");

    // The members' texts as an operator would type them into the numeric edits.
    const size_t textStart = sizeof(AppSettings) < size ? sizeof(AppSettings) : size;
    const std::string typed(reinterpret_cast<const char*>(data) + textStart,
                            std::min<size_t>(size - textStart, 12));
    CheckSettingDialog(settings, typed.c_str());
    CheckRewrites(file, data, size, settings, members);
    return 0;
}
