// The driver's members as the component lists them: names, DISPIDs, types and access, read from
// the registered library (DllGetMemberCatalogue), since the component carries no type library.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BrontalOcxCatalogue.h"

namespace drvkeltor {

class CMemberCatalogue {
  public:
    // Reads the catalogue of the library registered for `clsid`. S_OK, or the failure: the class
    // is not registered (REGDB_E_CLASSNOTREG), the library cannot be loaded or has no catalogue.
    HRESULT Load(REFCLSID clsid);
    bool Empty() const { return m_members.empty(); }
    size_t Count() const { return m_members.size(); }
    // Names compare without regard to case, as GetIDsOfNames does. Null when unknown.
    const BrontalMemberInfo* Find(const std::string& name) const;
    // One line a member: name, type ("method" for a method) and access.
    void Print(std::FILE* out) const;

  private:
    std::vector<BrontalMemberInfo> m_members;
};

// "UI2", "CY", "BSTR[]", ...
std::string TypeName(VARTYPE type);

}  // namespace drvkeltor
