// The member catalogue for tools, copied out of the dispatch table.
#include "BrontalOcxCatalogue.h"

#include <cstring>

#include "DispatchTable.h"

HRESULT CopyMemberCatalogue(BrontalMemberInfo* rows, ULONG capacity, ULONG* count) {
    if (!count) {
        return E_POINTER;
    }
    const ULONG total = static_cast<ULONG>(kDrvKeltorMemberCount);
    *count = total;
    if (!rows) {
        return S_FALSE;
    }
    const ULONG copied = capacity < total ? capacity : total;
    for (ULONG i = 0; i < copied; ++i) {
        const DispatchMember& member = kDrvKeltorMembers[i];
        BrontalMemberInfo& row = rows[i];
        std::memset(&row, 0, sizeof row);
        row.dispid = member.dispid;
        row.type = member.type;
        row.isMethod = member.kind == MemberKind::Method ? 1 : 0;
        row.access = static_cast<BYTE>(((member.access & kMemberGet) ? kCatalogueGet : 0) |
                                       ((member.access & kMemberPut) ? kCataloguePut : 0));
        // Names are shorter than the field; a longer one would be cut, never overrun.
        std::strncpy(row.name, member.name, sizeof row.name - 1);
    }
    return copied == total ? S_OK : S_FALSE;
}
