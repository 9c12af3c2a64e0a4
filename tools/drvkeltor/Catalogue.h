// The driver's members: names, DISPIDs, types, access and a line of help each. The client carries
// the catalogue it was built with, so that it can list the members and check a whole script
// before anything is created; the registered library's own list (DllGetMemberCatalogue, the
// component carries no type library) tells whether the two are of one version.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

// The component's client header, the one header of hosting/ a client takes.
#include "../../hosting/BrontalOcxCatalogue.h"

namespace drvkeltor {

class CMemberCatalogue {
  public:
    // The catalogue this client was built with, every member with its help.
    static const CMemberCatalogue& Builtin();

    // Reads the catalogue of the library registered for `clsid`. S_OK, or the failure: the class
    // is not registered (REGDB_E_CLASSNOTREG), the library cannot be loaded or has no catalogue.
    HRESULT Load(REFCLSID clsid);
    bool Empty() const { return m_members.empty(); }
    size_t Count() const { return m_members.size(); }
    // Names compare without regard to case, as GetIDsOfNames does. Null when unknown.
    const BrontalMemberInfo* Find(const std::string& name) const;
    // The member's line of help; empty when the catalogue has none.
    std::string Help(const BrontalMemberInfo& member) const;
    // The methods, then the properties with their type and access, one line each with its help.
    void Print(std::FILE* out) const;
    // The names one a line, for shell completion.
    void PrintNames(std::FILE* out) const;
    // The names in which this catalogue and `other` differ, at most a few; empty when none do.
    std::string Differences(const CMemberCatalogue& other) const;

  private:
    std::vector<BrontalMemberInfo> m_members;
    std::vector<std::string> m_help;  // by row, when known
};

// "UI2", "CY", "BSTR[]", ...
std::string TypeName(VARTYPE type);

}  // namespace drvkeltor
