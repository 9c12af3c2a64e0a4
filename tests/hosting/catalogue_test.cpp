// The member catalogue as data: its shape, the dispatch table built from it and the IDL text
// kept in the tree.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "DispatchTable.h"
#include "IdlWriter.h"
#include "TestSupport.h"

namespace {

// The catalogue rows with what their accessors reach, read from the table itself.
struct RowBinding {
    DISPID dispid;
    const char* name;
    const char* access;
    const char* type;
    const char* binding;  // "FIELD, m_comPort", "BIT, m_statusWord, 0x0001", "CUSTOM", ...
};

#define DRV_METHOD(dispid, name)
#define DRV_PROPERTY(dispid, name, access, type, ...) {dispid, #name, #access, #type, #__VA_ARGS__},
const RowBinding kRowBindings[] = {
#include "DrvKeltorMembers.def"
};

const RowBinding* FindRow(DISPID dispid) {
    for (const RowBinding& row : kRowBindings) {
        if (row.dispid == dispid) {
            return &row;
        }
    }
    return nullptr;
}

// Every property twin with the DISPID of the member whose state it reaches, as the interface
// documents them.
const std::map<DISPID, DISPID> kPropertyTwins = {
    {230, 1},   {231, 3},   {232, 25},  {233, 13},  {234, 14},  {235, 15},  {236, 16},  {237, 17},
    {238, 18},  {239, 19},  {240, 20},  {241, 21},  {242, 22},  {243, 23},  {244, 24},  {245, 26},
    {246, 27},  {247, 28},  {248, 29},  {249, 30},  {250, 31},  {251, 32},  {252, 33},  {253, 34},
    {254, 41},  {255, 44},  {256, 60},  {257, 80},  {258, 81},  {259, 84},  {260, 88},  {261, 90},
    {262, 92},  {263, 93},  {264, 94},  {265, 103}, {266, 107}, {267, 115}, {268, 117}, {269, 118},
    {270, 120}, {271, 138}, {272, 140}, {273, 142}, {274, 143}, {275, 144}, {276, 152}, {277, 166},
    {278, 181}, {279, 182}, {280, 186}, {281, 187}, {282, 188}, {283, 195}, {284, 199}, {285, 210},
    {286, 215}, {287, 217}, {288, 226}, {289, 227}, {290, 228}, {291, 229}, {293, 292}, {295, 294},
    {302, 34},  {303, 187}, {304, 24},  {305, 186}, {306, 198}, {307, 200}, {308, 202}, {309, 201},
    {310, 195}, {311, 199},
};

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

TEST(Catalogue, EveryTwinReachesWhatItsMainMemberReaches) {
    ASSERT_EQ(std::size(kRowBindings), 337u - 116u);
    for (const RowBinding& row : kRowBindings) {
        const std::string name = row.name;
        const bool twin = kPropertyTwins.count(row.dispid) != 0;
        // Every property named like a twin is one of the documented twins.
        if (name.back() == '2') {
            EXPECT_TRUE(twin) << name;
        }
        if (!twin) {
            continue;
        }
        const RowBinding* main = FindRow(kPropertyTwins.at(row.dispid));
        ASSERT_NE(main, nullptr) << name;
        // The same field, text, word or bit; hand-written accessors on both sides.
        EXPECT_STREQ(row.binding, main->binding) << name << " / " << main->name;
        // A read-only main member has a read-only twin; the reversed entry pair is the main's only.
        const std::string mainAccess = main->access;
        EXPECT_STREQ(row.access, mainAccess == "WR" ? "RW" : mainAccess.c_str()) << name;
        const std::string mainType = main->type;
        const char* expected = mainType == "BSTR"        ? "BSTR"
                               : mainType == "UI2_ARRAY" ? "I4_ARRAY"
                                                         : "I4";
        EXPECT_STREQ(row.type, expected) << name;
    }
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
    const std::string crcHelp =
        "helpstring(\"Checksum (CRC-32) of the electronic journal read, used to validate it\")";
    EXPECT_NE(idl.find("    [propput, id(88), " + crcHelp +
                       "] HRESULT ElectronicJournalCRC([in] ULONG newVal);\n"
                       "    [propget, id(88), " +
                       crcHelp + "] HRESULT ElectronicJournalCRC([out, retval] ULONG* pVal);\n"),
              std::string::npos);
    EXPECT_NE(idl.find("HRESULT StringTableItems([in] SAFEARRAY(BSTR) newVal);"),
              std::string::npos);
    EXPECT_NE(idl.find("    [id(2), helpstring(\"Opens the link to the printer (searching ports and "
                       "speeds unless SuppressAutodetect) and reads its identification\")] "
                       "HRESULT Connect();\n"),
              std::string::npos);
    // Money is the Automation currency type; widl would make CY a structure.
    EXPECT_NE(idl.find("HRESULT Price([in] CURRENCY newVal);"), std::string::npos);
    EXPECT_EQ(idl.find(" CY"), std::string::npos);
}

}  // namespace
