#include "members/member_columns.h"

void InsertMemberColumns(CGLSListCtrl& list, float columnUnit) {
    const int unit = static_cast<int>(columnUnit) + 1;
    list.InsertColumns({{"NO", 7 * unit}, {"ID", 10 * unit}, {"Name", 20 * unit}});
}
