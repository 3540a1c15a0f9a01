#include "storage/config_file.h"

#include "storage/file_io.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstddef>
#include <cstring>
#include <new>

char g_szInstallDir[260];
AppSettings g_Settings;
MemberList MemberTable;

std::string InstallPath(const char* rel) {
    std::string path = std::string(g_szInstallDir) + rel;
    return path.size() < kMaxPath ? path : std::string();
}

AppSettings DefaultSettings(int port) {
    AppSettings s{};
    s.UseSound = 1;
    s.UseIdCard = 0;
    s.UseWebCam = 0;
    s.Mode = kModeFast;
    s.Low = 0.1f;
    s.Hi = 0.25f;
    s.Port = port;
    s.Speed = 2;
    s.MemberCount = 5;
    return s;
}

void MakeFreeSlot(MemberEntry& slot) {
    slot = MemberEntry{};
    slot.InUse = 0;
}

namespace {

bool AllocateSlots(MemberList& members, int used) {
    try {
        members.slots.assign(static_cast<size_t>(used) + kMemberGrowth, MemberEntry{});
    } catch (const std::bad_alloc&) {
        members.slots.clear();
        return false;
    }
    members.loaded = true;
    return true;
}

MemberEntry Placeholder(const char* idFormat, const char* nameFormat, int n) {
    MemberEntry e{};
    char text[32];
    std::snprintf(text, sizeof text, idFormat, n);
    SetField(e.ID, text);
    std::snprintf(text, sizeof text, nameFormat, n);
    SetField(e.Name, text);
    e.InUse = 1;
    return e;
}

} // namespace

std::string ConfigPath() {
    return InstallPath(kConfigFileName);
}

ConfigLoad ReadConfigFile(const char* path, AppSettings& settings, MemberList& members,
                          file_io::Failure* why) {
    std::vector<uint8_t> bytes;
    if (file_io::ReadAll(path, bytes, why) != file_io::Read::Ok)
        return ConfigLoad::CannotOpen;
    if (bytes.empty())
        return ConfigLoad::Empty;
    if (bytes.size() < sizeof(AppSettings))
        return ConfigLoad::Broken;
    AppSettings read{};
    std::memcpy(&read, bytes.data(), sizeof read);

    const size_t present = (bytes.size() - sizeof(AppSettings)) / sizeof(MemberEntry);
    if (read.MemberCount < 0 || static_cast<size_t>(read.MemberCount) > present)
        read.MemberCount = static_cast<int32_t>(present);

    MemberList loaded;
    if (!AllocateSlots(loaded, read.MemberCount))
        return ConfigLoad::NoMemory;
    if (read.MemberCount > 0)
        std::memcpy(loaded.slots.data(), bytes.data() + sizeof(AppSettings),
                    sizeof(MemberEntry) * static_cast<size_t>(read.MemberCount));
    for (int i = 0; i < read.MemberCount; ++i) {
        // Texts from the file are only ever used as terminated strings.
        loaded.slots[i].ID[sizeof loaded.slots[i].ID - 1] = 0;
        loaded.slots[i].Name[sizeof loaded.slots[i].Name - 1] = 0;
    }
    settings = read;
    members = std::move(loaded);
    return ConfigLoad::Loaded;
}

bool CreateConfigFile(const char* path, int port, AppSettings& settings, MemberList& members) {
    settings = DefaultSettings(port);
    if (!AllocateSlots(members, settings.MemberCount))
        return false;
    for (int i = 0; i < settings.MemberCount; ++i)
        members.slots[i] = Placeholder("ID%d", "NAME%d", i);

    std::vector<uint8_t> bytes(sizeof(AppSettings) + sizeof(MemberEntry) * 5);
    std::memcpy(bytes.data(), &settings, sizeof settings);
    std::memcpy(bytes.data() + sizeof settings, members.slots.data(), sizeof(MemberEntry) * 5);
    return file_io::CreateWith(path, bytes.data(), bytes.size());
}

namespace {

// New content followed by whatever the old file held beyond it: the file never shrinks,
// as readers may rely on, and it is replaced in one step.
bool RewriteConfig(const char* path, const AppSettings& settings, const MemberEntry* entries,
                   size_t count) {
    std::vector<uint8_t> old;
    if (file_io::ReadAll(path, old) != file_io::Read::Ok)
        return false;
    std::vector<uint8_t> bytes(sizeof settings + sizeof(MemberEntry) * count);
    std::memcpy(bytes.data(), &settings, sizeof settings);
    if (count > 0)
        std::memcpy(bytes.data() + sizeof settings, entries, sizeof(MemberEntry) * count);
    if (old.size() > bytes.size())
        bytes.insert(bytes.end(), old.begin() + static_cast<std::ptrdiff_t>(bytes.size()),
                     old.end());
    return file_io::ReplaceExisting(path, bytes.data(), bytes.size());
}

} // namespace

bool SaveSettingsFile(const char* path, const AppSettings& settings, const MemberList& members) {
    int count = settings.MemberCount;
    if (count < 0)
        count = 0;
    if (count > members.Capacity())
        count = members.Capacity();
    return RewriteConfig(path, settings, members.slots.data(), static_cast<size_t>(count));
}

SaveMembersResult SaveMembersFile(const char* path, AppSettings& settings, MemberList& members) {
    const int count = settings.MemberCount > 0 ? settings.MemberCount : 0;
    std::vector<MemberEntry> entries;
    entries.reserve(static_cast<size_t>(count));
    for (const MemberEntry& slot : members.slots) {
        if (static_cast<int>(entries.size()) >= count)
            break;
        if (slot.InUse)
            entries.push_back(slot);
    }
    while (static_cast<int>(entries.size()) < count)
        entries.push_back(Placeholder("ID%d", "NM%d", 0));

    // A file that cannot be written, or a failed write, leaves the file as it was and the
    // table untouched, so the operator can try again without losing the edits.
    if (!RewriteConfig(path, settings, entries.data(), entries.size()))
        return SaveMembersResult::CannotOpen;
    return ReloadMembers(path, settings, members, entries) ? SaveMembersResult::Saved
                                                           : SaveMembersResult::ReloadFailed;
}

bool ReloadMembers(const char* path, AppSettings& settings, MemberList& members,
                   const std::vector<MemberEntry>& written) {
    if (LoadConfigFile(path, settings, members))
        return true;
    MemberList rebuilt;
    const int count = static_cast<int>(written.size());
    if (AllocateSlots(rebuilt, count)) {
        std::copy(written.begin(), written.end(), rebuilt.slots.begin());
        members = std::move(rebuilt);
        settings.MemberCount = count;
    }
    return false;
}

bool SaveSettings() {
    const std::string path = ConfigPath();
    return !path.empty() && SaveSettingsFile(path.c_str(), g_Settings, MemberTable);
}

SaveMembersResult SaveMembers() {
    const std::string path = ConfigPath();
    return path.empty() ? SaveMembersResult::CannotOpen
                        : SaveMembersFile(path.c_str(), g_Settings, MemberTable);
}

bool FindMember(const MemberList& members, const char* id, int n) {
    for (int i = 0; i < n && i < members.Capacity(); ++i)
        if (std::strcmp(members.slots[i].ID, id) == 0)
            return true;
    return false;
}

bool ParseComPortName(const char* data, int* index) {
    static const char kCom[] = "COM";
    int matched = 0;
    int pos = 0;
    for (; pos < 10 && data[pos] && matched < 3; ++pos)
        matched = data[pos] == kCom[matched] ? matched + 1 : 0;
    if (matched < 3)
        return false;
    const char* p = data + pos;
    while (*p && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    long number = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (number < 1000000)
            number = number * 10 + (*p - '0');
    *index = number - 1 > 0 ? static_cast<int>(number - 1) : 0;
    return true;
}

bool GrowMemberTable(MemberList& members) {
    try {
        MemberEntry free{};
        MakeFreeSlot(free);
        members.slots.resize(members.slots.size() + kMemberGrowth, free);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool AddMemberEntry(MemberList& members, AppSettings& settings, const MemberEntry& entry) {
    int slot = -1;
    for (int i = 0; i < members.Capacity(); ++i) {
        if (!members.slots[i].InUse) {
            slot = i;
            break;
        }
    }
    if (slot < 0) {
        slot = members.Capacity();
        if (!GrowMemberTable(members))
            return false;
    }
    members.slots[slot] = entry;
    members.slots[slot].InUse = 1;
    ++settings.MemberCount;
    return true;
}

bool RemoveMemberEntry(MemberList& members, AppSettings& settings, const char* id,
                       const char* name) {
    for (MemberEntry& slot : members.slots) {
        if (slot.InUse && std::strcmp(slot.ID, id) == 0 &&
            (!name || std::strcmp(slot.Name, name) == 0)) {
            slot.InUse = 0;
            if (settings.MemberCount > 0)
                --settings.MemberCount;
            return true;
        }
    }
    return false;
}

std::vector<MemberEntry*> InUseSlots(MemberList& members, const AppSettings& settings) {
    std::vector<MemberEntry*> used;
    for (MemberEntry& slot : members.slots) {
        if (static_cast<int>(used.size()) >= settings.MemberCount)
            break;
        if (slot.InUse)
            used.push_back(&slot);
    }
    return used;
}
