// QUELMA.CFG: the settings block followed by the registered members.
#pragma once

#include "storage/file_io.h"
#include "storage/records.h"

#include <string>
#include <vector>

// The program-wide array of member slots: the registered members in slots
// 0..MemberCount-1 after every load, then free slots. Capacity is slots.size().
struct MemberList {
    std::vector<MemberEntry> slots;
    bool loaded = false; // false until the first load or creation
    int Capacity() const { return static_cast<int>(slots.size()); }
    MemberEntry* data() { return slots.data(); }
};

extern char g_szInstallDir[260]; // with a trailing backslash
extern AppSettings g_Settings;
extern MemberList MemberTable;

constexpr const char* kConfigFileName = "QUELMA.CFG";
constexpr size_t kMaxPath = 260;

// g_szInstallDir + rel, or "" when the result would not fit a 260-byte path buffer.
std::string InstallPath(const char* rel);

AppSettings DefaultSettings(int port);
void MakeFreeSlot(MemberEntry& slot);

// g_szInstallDir + "QUELMA.CFG", or "" when too long.
std::string ConfigPath();

// Empty: a file of no bytes, as a crash while creating it or an installer leaves it, holds
// nothing that could be lost and is created like a missing one. Broken: shorter than the
// settings block.
enum class ConfigLoad { Loaded, CannotOpen, Empty, Broken, NoMemory };
// Reads settings and members. A member count that is negative or promises more entries
// than the file holds loads the complete entries present instead of failing, so a damaged
// count never makes start-up recreate the file and lose the member list. `why` gives the
// reason of CannotOpen. Nothing changes unless the file loaded.
ConfigLoad ReadConfigFile(const char* path, AppSettings& settings, MemberList& members,
                          file_io::Failure* why = nullptr);
inline bool LoadConfigFile(const char* path, AppSettings& settings, MemberList& members) {
    return ReadConfigFile(path, settings, members) == ConfigLoad::Loaded;
}
// Creates the file with the default settings and the five placeholder members.
bool CreateConfigFile(const char* path, int port, AppSettings& settings, MemberList& members);
// Rewrites settings and the first MemberCount slots; the file must exist.
bool SaveSettingsFile(const char* path, const AppSettings& settings, const MemberList& members);

enum class SaveMembersResult { Saved, CannotOpen, ReloadFailed };
// Writes the in-use slots in slot order (padding with "ID0"/"NM0" placeholders up to
// MemberCount), then reloads the table from the file (ReloadMembers).
SaveMembersResult SaveMembersFile(const char* path, AppSettings& settings, MemberList& members);
// The table as the file holds it after a save of `written`. When the file cannot be read
// back, the table becomes `written` and its free slots, as a reload would have made it, so
// MemberCount and the members in use still agree and no later save pads with placeholders.
// False when the reload failed.
bool ReloadMembers(const char* path, AppSettings& settings, MemberList& members,
                   const std::vector<MemberEntry>& written);

// The saves above on the program-wide state and the install folder's QUELMA.CFG.
bool SaveSettings();
SaveMembersResult SaveMembers();

bool FindMember(const MemberList& members, const char* id, int n);

// Port index from a registry port name such as "COM12" (see SearchComPort).
bool ParseComPortName(const char* data, int* index);

// Grows the table by 50 free slots; false (table unchanged) when memory runs out.
bool GrowMemberTable(MemberList& members);
// Stores the entry in the first free slot, growing the table when there is none.
bool AddMemberEntry(MemberList& members, AppSettings& settings, const MemberEntry& entry);
// Frees the first in-use slot with that ID and, when `name` is given, that Name (a file
// may repeat an ID); false when there is none.
bool RemoveMemberEntry(MemberList& members, AppSettings& settings, const char* id,
                       const char* name = nullptr);
// Pointers to the in-use slots, in slot order, at most MemberCount of them.
std::vector<MemberEntry*> InUseSlots(MemberList& members, const AppSettings& settings);
