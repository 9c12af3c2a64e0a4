// The member catalogue as data: its shape, the dispatch table built from it and the IDL text
// kept in the tree.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <set>
#include <string>

#include "DispatchTable.h"
#include "IdlWriter.h"
#include "TestSupport.h"

namespace {

std::string Lowered(const char* name) {
    std::string text = name;
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

TEST(Catalogue, HasEveryDispidOnceInOrderWith440Entries) {
    ASSERT_EQ(kDrvKeltorMemberCount, 337u);
    std::size_t entries = 0;
    std::size_t methods = 0;
    std::set<std::string> names;
    for (std::size_t i = 0; i < kDrvKeltorMemberCount; ++i) {
        const DispatchMember& member = kDrvKeltorMembers[i];
        EXPECT_EQ(member.dispid, static_cast<DISPID>(i + 1));
        EXPECT_TRUE(names.insert(Lowered(member.name)).second) << member.name;
        if (member.kind == MemberKind::Method) {
            ++methods;
            ++entries;
            EXPECT_NE(member.call, nullptr) << member.name;
            EXPECT_EQ(member.get, nullptr) << member.name;
            EXPECT_EQ(member.put, nullptr) << member.name;
        } else {
            // Every property can be read; the put entry exists exactly when the row says so.
            EXPECT_NE(member.get, nullptr) << member.name;
            EXPECT_EQ(member.put != nullptr, (member.access & kMemberPut) != 0) << member.name;
            entries += (member.access & kMemberPut) ? 2 : 1;
        }
    }
    EXPECT_EQ(entries, 440u);
    EXPECT_EQ(methods, 116u);
}

TEST(Catalogue, TypesAndTheOneReversedEntryPair) {
    for (std::size_t i = 0; i < kDrvKeltorMemberCount; ++i) {
        const DispatchMember& member = kDrvKeltorMembers[i];
        const std::string name = member.name;
        EXPECT_EQ((member.access & kMemberPutFirst) != 0, name == "ElectronicJournalCRC") << name;
        // Twins carry 32-bit signed integers; the short-name twins have at most 30 characters.
        if (member.kind == MemberKind::Property && name.back() == '2' &&
            (member.type & VT_TYPEMASK) != VT_BSTR) {
            EXPECT_EQ(member.type & VT_TYPEMASK, VT_I4) << name;
        }
        if (member.dispid >= 302 && member.dispid <= 332) {
            EXPECT_LE(name.size(), 30u) << name;
        }
    }
    EXPECT_EQ(FindDispatchMember(106)->type, VT_ARRAY | VT_BSTR);
    EXPECT_EQ(FindDispatchMember(107)->type, VT_ARRAY | VT_UI2);
    EXPECT_EQ(FindDispatchMember(266)->type, VT_ARRAY | VT_I4);
    EXPECT_EQ(FindDispatchMember(5)->type, VT_I2);
    EXPECT_EQ(FindDispatchMember(4)->type, VT_CY);
    EXPECT_EQ(FindDispatchMember(9)->type, VT_DATE);
    EXPECT_EQ(FindDispatchMember(338), nullptr);
    EXPECT_EQ(FindDispatchMember(0), nullptr);
    EXPECT_EQ(FindDispatchMember(OLESTR("ReqtRcptSalesByDepartment2"))->dispid, 328);
    EXPECT_EQ(FindDispatchMember(OLESTR("connect"))->dispid, 2);
    EXPECT_EQ(FindDispatchMember(OLESTR("Connect2")), nullptr);
}

TEST(Catalogue, IdlInTheTreeMatchesTheTable) {
    const std::string path = std::string(BRONTAL_SOURCE_DIR) + "/hosting/BrontalOcx.idl";
    const std::string idl = client::DrvKeltorIdl();
    if (const char* write = std::getenv("BRONTAL_WRITE_IDL"); write && *write == '1') {
        testsupport::WriteFileBytes(path, idl);
    }
    EXPECT_EQ(testsupport::ReadFileBytes(path), idl)
        << "hosting/BrontalOcx.idl is out of date: run this test with BRONTAL_WRITE_IDL=1";
    // A spot check of the text itself.
    EXPECT_NE(idl.find("    [propput, id(88)] HRESULT ElectronicJournalCRC([in] ULONG newVal);\n"
                       "    [propget, id(88)] HRESULT ElectronicJournalCRC([out, retval] ULONG* "
                       "pVal);\n"),
              std::string::npos);
    EXPECT_NE(idl.find("[propput, id(106)] HRESULT StringTableItems([in] SAFEARRAY(BSTR) newVal);"),
              std::string::npos);
}

}  // namespace
