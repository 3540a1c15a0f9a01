// QUELMA.CFG: the settings block followed by the registered members.
#pragma once

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

// Reads settings and members. A member count that is negative or promises more entries
// than the file holds loads the complete entries present instead of failing, so a damaged
// count never makes start-up recreate the file and lose the member list.
bool LoadConfigFile(const char* path, AppSettings& settings, MemberList& members);
// Creates the file with the default settings and the five placeholder members.
bool CreateConfigFile(const char* path, int port, AppSettings& settings, MemberList& members);
// Rewrites settings and the first MemberCount slots; the file must exist.
bool SaveSettingsFile(const char* path, const AppSettings& settings, const MemberList& members);

enum class SaveMembersResult { Saved, CannotOpen, ReloadFailed };
// Writes the in-use slots in slot order (padding with "ID0"/"NM0" placeholders up to
// MemberCount), then reloads the table from the file.
SaveMembersResult SaveMembersFile(const char* path, AppSettings& settings, MemberList& members);

bool FindMember(const MemberList& members, const char* id, int n);

// Port index from a registry port name such as "COM12" (see SearchComPort).
bool ParseComPortName(const char* data, int* index);

// Grows the table by 50 free slots; false (table unchanged) when memory runs out.
bool GrowMemberTable(MemberList& members);
// Stores the entry in the first free slot, growing the table when there is none.
bool AddMemberEntry(MemberList& members, AppSettings& settings, const MemberEntry& entry);
// Frees the first in-use slot with that ID; false when there is none.
bool RemoveMemberEntry(MemberList& members, AppSettings& settings, const char* id);
// Pointers to the in-use slots, in slot order, at most MemberCount of them.
std::vector<MemberEntry*> InUseSlots(MemberList& members, const AppSettings& settings);
