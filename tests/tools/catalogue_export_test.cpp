// The member catalogue the component exports for tools, and the client side that reads it from
// the registered library.
#include <cstring>
#include <set>

#include "Catalogue.h"
#include "ToolRunner.h"

namespace tooltest {
namespace {

constexpr ULONG kMembers = 337;

class CatalogueExport : public client::ComponentTest {
  protected:
    void SetUp() override {
        ComponentTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        library_ = LoadLibraryA(client::ComponentPath().c_str());
        ASSERT_NE(library_, nullptr);
        copy_ = reinterpret_cast<DllGetMemberCatalogueFunction>(
            GetProcAddress(library_, kMemberCatalogueExport));
        ASSERT_NE(copy_, nullptr);
    }
    void TearDown() override {
        if (library_) {
            FreeLibrary(library_);
        }
        ComponentTest::TearDown();
    }

    HMODULE library_ = nullptr;
    DllGetMemberCatalogueFunction copy_ = nullptr;
};

TEST_F(CatalogueExport, CountsCopiesAndStopsAtTheCapacity) {
    ULONG count = 0;
    EXPECT_EQ(copy_(nullptr, 0, &count), S_FALSE);
    EXPECT_EQ(count, kMembers);
    EXPECT_EQ(copy_(nullptr, 10, nullptr), E_POINTER);

    BrontalMemberInfo rows[3];
    std::memset(rows, 0x5A, sizeof rows);
    count = 0;
    EXPECT_EQ(copy_(rows, 2, &count), S_FALSE);
    EXPECT_EQ(count, kMembers);
    EXPECT_EQ(rows[0].dispid, 1);
    EXPECT_STREQ(rows[0].name, "ComPort");
    EXPECT_EQ(rows[0].isMethod, 0);
    EXPECT_EQ(rows[0].type, VT_UI2);
    EXPECT_EQ(rows[0].access, kCatalogueGet | kCataloguePut);
    EXPECT_EQ(rows[1].dispid, 2);
    EXPECT_STREQ(rows[1].name, "Connect");
    EXPECT_EQ(rows[1].isMethod, 1);
    EXPECT_EQ(rows[1].type, VT_EMPTY);
    // Nothing is written beyond the capacity.
    const unsigned char* beyond = reinterpret_cast<const unsigned char*>(&rows[2]);
    for (size_t i = 0; i < sizeof rows[2]; ++i) {
        ASSERT_EQ(beyond[i], 0x5A) << i;
    }
}

TEST_F(CatalogueExport, EveryMemberOnceInDispidOrder) {
    std::vector<BrontalMemberInfo> rows(kMembers + 1);
    ULONG count = 0;
    ASSERT_EQ(copy_(rows.data(), static_cast<ULONG>(rows.size()), &count), S_OK);
    ASSERT_EQ(count, kMembers);
    std::set<std::string> names;
    for (ULONG i = 0; i < count; ++i) {
        const BrontalMemberInfo& row = rows[i];
        EXPECT_LT(std::strlen(row.name), sizeof row.name);
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        if (i > 0) {
            EXPECT_LT(rows[i - 1].dispid, row.dispid);
        }
        if (row.isMethod) {
            EXPECT_EQ(row.access, 0) << row.name;
            EXPECT_EQ(row.type, VT_EMPTY) << row.name;
        } else {
            EXPECT_NE(row.access & kCatalogueGet, 0) << row.name;
        }
    }
    const BrontalMemberInfo& last = rows[count - 1];
    EXPECT_STREQ(last.name, "QuantityPrecision");
    EXPECT_EQ(last.dispid, 337);
    EXPECT_EQ(last.type, VT_I4);
    EXPECT_TRUE(names.count("CommandTaxAuthoritiesControlUnitAuthenticate"));
}

TEST_F(CatalogueExport, TheToolReadsItFromTheRegisteredLibrary) {
    CLSID clsid = {};
    ASSERT_EQ(CLSIDFromProgID(OLESTR("BrontalOcx.DrvKeltor"), &clsid), S_OK);
    drvkeltor::CMemberCatalogue catalogue;
    ASSERT_EQ(catalogue.Load(clsid), S_OK);
    EXPECT_EQ(catalogue.Count(), kMembers);
    const BrontalMemberInfo* price = catalogue.Find("pRiCe");
    ASSERT_NE(price, nullptr);
    EXPECT_STREQ(price->name, "Price");
    EXPECT_EQ(price->type, VT_CY);
    const BrontalMemberInfo* items = catalogue.Find("IntegerTableItems2");
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(items->type, VT_ARRAY | VT_I4);
    EXPECT_EQ(catalogue.Find("Pric"), nullptr);
    EXPECT_EQ(catalogue.Find(""), nullptr);
    EXPECT_EQ(drvkeltor::TypeName(VT_ARRAY | VT_BSTR), "BSTR[]");

    // A class nobody registered.
    const CLSID other = {0x01234567, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};
    drvkeltor::CMemberCatalogue none;
    EXPECT_EQ(none.Load(other), REGDB_E_CLASSNOTREG);
    EXPECT_TRUE(none.Empty());
}

}  // namespace
}  // namespace tooltest
