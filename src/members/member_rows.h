// What the Registration dialog decides without a window: a new member from the edits'
// texts, the duplicate checks against the list rows, the row a Delete refers to, and the
// reordering of the members in use when a heading is clicked.
#pragma once

#include "storage/config_file.h"

#include <string>
#include <vector>

// The edits are read with room for this many characters; longer input is cut.
constexpr int kMemberIdChars = 9;
constexpr int kMemberNameChars = 19;

// The ID and Name texts of one list row.
struct MemberRowText {
    std::string id;
    std::string name;
};

// A member with these texts, cut to the field widths, InUse 1 and a zero serial.
MemberEntry MakeMemberEntry(const std::string& id, const std::string& name);

enum class MemberClash { None, SameId, SameName };
// Walks the rows in list order: the first row whose ID equals `id` is a SameId clash, a row
// before it whose Name equals `name` a SameName clash. Case-sensitive; empty texts count.
MemberClash FindClash(const std::vector<MemberRowText>& rows, const std::string& id,
                      const std::string& name);

// The first row whose ID and Name both equal the texts; -1 when none does.
int FindMemberRow(const std::vector<MemberRowText>& rows, const std::string& id,
                  const std::string& name);

// The rows the dialog shows: the members in use, in slot order.
std::vector<MemberRowText> MemberRows(MemberList& members, const AppSettings& settings);

// Reorders the members in use among their own slots with CompareMembers; free slots and
// their contents stay where they are. Members that compare equal keep their order.
void SortMembersInUse(MemberList& members, const AppSettings& settings, int column, int ascending);
