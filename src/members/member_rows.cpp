#include "members/member_rows.h"

#include "storage/ordering.h"

#include <algorithm>

MemberEntry MakeMemberEntry(const std::string& id, const std::string& name) {
    MemberEntry entry{};
    SetField(entry.ID, id.substr(0, kMemberIdChars).c_str());
    SetField(entry.Name, name.substr(0, kMemberNameChars).c_str());
    entry.InUse = 1;
    return entry;
}

MemberClash FindClash(const std::vector<MemberRowText>& rows, const std::string& id,
                      const std::string& name) {
    for (const MemberRowText& row : rows) {
        if (row.id == id)
            return MemberClash::SameId;
        if (row.name == name)
            return MemberClash::SameName;
    }
    return MemberClash::None;
}

int FindMemberRow(const std::vector<MemberRowText>& rows, const std::string& id,
                  const std::string& name) {
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].id == id && rows[i].name == name)
            return static_cast<int>(i);
    return -1;
}

std::vector<MemberRowText> MemberRows(MemberList& members, const AppSettings& settings) {
    std::vector<MemberRowText> rows;
    for (const MemberEntry* slot : InUseSlots(members, settings))
        rows.push_back({std::string(slot->ID, FieldLength(slot->ID)),
                        std::string(slot->Name, FieldLength(slot->Name))});
    return rows;
}

void SortMembersInUse(MemberList& members, const AppSettings& settings, int column, int ascending) {
    const std::vector<MemberEntry*> used = InUseSlots(members, settings);
    std::vector<MemberEntry> ordered;
    ordered.reserve(used.size());
    for (const MemberEntry* slot : used)
        ordered.push_back(*slot);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [column, ascending](const MemberEntry& a, const MemberEntry& b) {
                         return CompareMembers(a, b, column, ascending) < 0;
                     });
    for (size_t i = 0; i < used.size(); ++i)
        *used[i] = ordered[i];
}
