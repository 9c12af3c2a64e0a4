// Session, receipt and cashier information requests against a scripted printer: the session
// argument and the number stored back, list replies and their limits, amounts in every written
// form, and which outputs a short reply clears or keeps.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Brontal.h"
#include "PeerFixture.h"

namespace prottest {
namespace {

using Payloads = std::vector<std::string>;
using InfoRequests = PeerFixture;

std::string DepartmentRows(int count) {
    std::string rows;
    for (int i = 1; i <= count; ++i) {
        rows += std::to_string(i) + GS + "A" + GS + std::to_string(i) + ".5" + GS + "0" + FS;
    }
    return rows;
}

std::string Last(const ScriptedPrinter& peer) {
    const Payloads payloads = peer.Payloads();
    return payloads.empty() ? std::string() : payloads.back();
}

void ExpectAmount(const DecimalPair& amount, LONGLONG value, DWORD scale) {
    EXPECT_EQ(amount.value, value);
    EXPECT_EQ(amount.scale, scale);
}

TEST_F(InfoRequests, SessionZeroAsksForTheCurrentSessionAndLearnsItsNumber) {
    Play({ReplyWith(0, 0x00C1, 0,
                    "0042" + FS + "120" + FS + "15" + FS + "2" + FS + "19" + FS + "1" + FS)});
    DWORD session = 0;
    SessionDocumentCounts counts = {};
    ASSERT_EQ(layer.ReadSessionDocumentCounts(&session, &counts), 0);
    EXPECT_EQ(session, 42U);
    EXPECT_EQ(counts.documentNumber, 120U);
    EXPECT_EQ(counts.salesCount, 15U);
    EXPECT_EQ(counts.refundsCount, 2U);
    EXPECT_EQ(counts.documentsCount, 19U);
    EXPECT_EQ(counts.cancellationCount, 1U);

    // A given session goes out as four digits; fields the reply lacks keep their values.
    Play({ReplyWith(0, 0x00C1, 0, "7" + FS + "99" + FS + "3")});
    session = 7;
    ASSERT_EQ(layer.ReadSessionDocumentCounts(&session, &counts), 0);
    EXPECT_EQ(counts.documentNumber, 99U);
    EXPECT_EQ(counts.salesCount, 3U);
    EXPECT_EQ(counts.refundsCount, 2U);
    EXPECT_EQ(peer.Payloads(), (Payloads{"in", "in" + FS + "0007"}));

    // The printer's refusal: nothing read, the session asked about stays.
    Play({ReplyWith(0x03, 0x00C1, 0, "1" + FS + "5")});
    session = 12345;
    EXPECT_EQ(layer.ReadSessionDocumentCounts(&session, &counts), -3 - 9200);
    EXPECT_EQ(Last(peer), "in" + FS + "12345");
    EXPECT_EQ(session, 12345U);
    EXPECT_EQ(counts.documentNumber, 99U);
    EXPECT_EQ(layer.ReadSessionDocumentCounts(&session, nullptr), kBrontalBadArguments);
}

TEST_F(InfoRequests, SessionDatesAndTimes) {
    Play({ReplyWith(
        0, 0x00C0, 0,
        "0041" + FS + "20261207" + GS + "080512" + FS + "20261207" + GS + "221501" + FS)});
    DWORD session = 41;
    SessionDateTime dates = {};
    ASSERT_EQ(layer.ReadSessionDateTime(&session, &dates), 0);
    EXPECT_EQ(Last(peer), "it" + FS + "0041");
    EXPECT_STREQ(dates.startDate, "20261207");
    EXPECT_STREQ(dates.startTime, "080512");
    EXPECT_STREQ(dates.endDate, "20261207");
    EXPECT_STREQ(dates.endTime, "221501");

    // An open session has no end yet: the end keeps what it held.
    Play({ReplyWith(0, 0x00C1, 0, "0042" + FS + "20261208" + GS + "075900" + FS)});
    session = 0;
    ASSERT_EQ(layer.ReadSessionDateTime(&session, &dates), 0);
    EXPECT_EQ(session, 42U);
    EXPECT_STREQ(dates.startDate, "20261208");
    EXPECT_STREQ(dates.endTime, "221501");
}

TEST_F(InfoRequests, DepartmentListsOfThreeAndOfSixteen) {
    DepartmentTotals entries[16];
    std::memset(entries, 0x5A, sizeof entries);
    int count = -1;
    DWORD session = 0;
    Play({ReplyWith(0, 0x00C1, 0, "0042" + FS + DepartmentRows(3))});
    ASSERT_EQ(layer.ReadSessionSalesByDepartment(&session, entries, 16, &count), 0);
    EXPECT_EQ(Last(peer), "is");
    EXPECT_EQ(session, 42U);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(entries[2].number, 3);
    EXPECT_EQ(entries[2].taxGroup, 'A');
    ExpectAmount(entries[2].first, 35, 10);
    ExpectAmount(entries[2].second, 0, 0);
    EXPECT_EQ(entries[3].number, 0);  // cleared, though the reply had no fourth
    ExpectAmount(entries[15].second, 0, 0);

    Play({ReplyWith(0, 0x00C1, 0, "0042" + FS + DepartmentRows(16))});
    ASSERT_EQ(layer.ReadSessionRefundsByDepartment(&session, entries, 16, &count), 0);
    EXPECT_EQ(Last(peer), "ir" + FS + "0042");
    EXPECT_EQ(count, 16);
    EXPECT_EQ(entries[15].number, 16);

    Play({ReplyWith(0, 0x00C1, 0, "0042" + FS + DepartmentRows(16) + DepartmentRows(1))});
    ASSERT_EQ(layer.ReadSessionSalesByDepartment(&session, entries, 16, &count), 0);
    EXPECT_EQ(count, 16);
    Play({ReplyWith(0, 0x00C1, 0, "0042" + FS + DepartmentRows(16))});
    ASSERT_EQ(layer.ReadSessionSalesByDepartment(&session, entries, 4, &count), 0);
    EXPECT_EQ(count, 4);

    // The receipt's lists have no session number in front.
    Play({ReplyWith(0, 0x00C3, 0, DepartmentRows(2))});
    ASSERT_EQ(layer.ReadReceiptSalesByDepartment(entries, 16, &count), 0);
    EXPECT_EQ(count, 2);
    Play({ReplyWith(0, 0x00C3, 0, DepartmentRows(1))});
    ASSERT_EQ(layer.ReadReceiptRefundsByDepartment(entries, 16, &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(peer.Payloads().back(), "kr");
}

TEST_F(InfoRequests, ListsEndAtTheFirstIncompleteEntry) {
    DepartmentTotals entries[16];
    int count = 0;
    DWORD session = 0;
    // The second row lacks its second amount, the third is whole.
    Play({ReplyWith(0, 0x00C1, 0,
                    "1" + FS + "1" + GS + "A" + GS + "1" + GS + "2" + FS + "2" + GS + "B" + GS +
                        "1" + FS + "3" + GS + "C" + GS + "1" + GS + "2" + FS)});
    ASSERT_EQ(layer.ReadSessionSalesByDepartment(&session, entries, 16, &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(entries[1].number, 0);

    // No letter, or an amount that is no number.
    Play({ReplyWith(0, 0x00C1, 0, "1" + FS + "1" + GS + GS + "1" + GS + "2" + FS)});
    ASSERT_EQ(layer.ReadSessionSalesByDepartment(&session, entries, 16, &count), 0);
    EXPECT_EQ(count, 0);
    Play({ReplyWith(0, 0x00C1, 0, "1" + FS + "1" + GS + "A" + GS + "x" + GS + "2" + FS)});
    ASSERT_EQ(layer.ReadSessionSalesByDepartment(&session, entries, 16, &count), 0);
    EXPECT_EQ(count, 0);

    // Without the leading session number no entry is read, and the session stays.
    session = 5;
    Play({ReplyWith(0, 0x00C1, 0, FS + DepartmentRows(3))});
    ASSERT_EQ(layer.ReadSessionSalesByDepartment(&session, entries, 16, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(session, 5U);

    EXPECT_EQ(layer.ReadSessionSalesByDepartment(&session, nullptr, 16, &count),
              kBrontalBadArguments);
    EXPECT_EQ(layer.ReadSessionSalesByDepartment(&session, entries, 16, nullptr),
              kBrontalBadArguments);
    EXPECT_EQ(layer.ReadSessionSalesByDepartment(&session, entries, -1, &count),
              kBrontalBadArguments);
}

TEST_F(InfoRequests, AmountsInEveryWrittenForm) {
    Play({ReplyWith(0, 0x00C1, 0,
                    "0042" + FS + "UAH" + GS + "12.5" + GS + "7" + GS + "-0.05" + GS + "3,25" + FS +
                        "USD" + GS + "1" + GS + "2" + GS + "3" + GS + "4" + FS)});
    CurrencyTotals entries[8];
    int count = 0;
    DWORD session = 0;
    ASSERT_EQ(layer.ReadSessionCashByCurrency(&session, entries, 8, &count), 0);
    EXPECT_EQ(Last(peer), "ic");
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(entries[0].code, "UAH");
    ExpectAmount(entries[0].amounts[0], 125, 10);
    ExpectAmount(entries[0].amounts[1], 7, 0);
    ExpectAmount(entries[0].amounts[2], -5, 100);
    ExpectAmount(entries[0].amounts[3], 325, 100);
    ExpectAmount(entries[1].amounts[3], 4, 0);

    // "ii" has the same rows; a row with three amounts of four is incomplete.
    Play({ReplyWith(0, 0x00C1, 0, "0042" + FS + "UAH" + GS + "1" + GS + "2" + GS + "3" + FS)});
    ASSERT_EQ(layer.ReadSessionCollectedAmounts(&session, entries, 8, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Last(peer), "ii" + FS + "0042");
}

TEST_F(InfoRequests, FacilityAndCurrencyRowsOfEachWidth) {
    FacilityTotals facilities[8];
    CurrencyTotals currencies[8];
    int count = 0;
    DWORD session = 0;
    Play({ReplyWith(
        0, 0x00C1, 0,
        "3" + FS + "1" + GS + "150.00" + GS + "20.00" + FS + "2" + GS + "5" + GS + "0" + FS)});
    ASSERT_EQ(layer.ReadSessionNoncashByFacility(&session, facilities, 8, &count), 0);
    ASSERT_EQ(count, 2);
    ExpectAmount(facilities[0].amounts[0], 15000, 100);
    ExpectAmount(facilities[0].amounts[1], 2000, 100);
    EXPECT_EQ(facilities[1].number, 2);

    Play({ReplyWith(0, 0x00C3, 0, "1" + GS + "9.99" + FS + "4" + GS + "1" + FS)});
    ASSERT_EQ(layer.ReadReceiptNoncashByFacility(facilities, 8, &count), 0);
    ASSERT_EQ(count, 2);
    ExpectAmount(facilities[0].amounts[0], 999, 100);
    ExpectAmount(facilities[0].amounts[1], 0, 0);

    Play({ReplyWith(0, 0x00C3, 0,
                    "UAH" + GS + "10" + GS + "10" + FS + "USD" + GS + "4.15" + GS + "0.1" + FS)});
    ASSERT_EQ(layer.ReadReceiptCashByCurrency(currencies, 8, &count), 0);
    ASSERT_EQ(count, 2);
    ExpectAmount(currencies[1].amounts[0], 415, 100);
    ExpectAmount(currencies[1].amounts[1], 1, 10);
    ExpectAmount(currencies[1].amounts[2], 0, 0);

    Play({ReplyWith(0, 0x00C3, 0, "UAH" + GS + "100" + FS)});
    ASSERT_EQ(layer.ReadReceiptCollectedByCurrency(currencies, 8, &count), 0);
    EXPECT_EQ(count, 1);

    // A cashier who took three currencies: more than 64 bytes of reply.
    const std::string row = GS + "1000.00" + GS + "250.00" + GS + "750.00" + FS;
    Play({ReplyWith(0, 0x00C1, 0, "UAH" + row + "USD" + row + "EUR" + row)});
    ASSERT_EQ(layer.ReadCashierCollectedAmounts(currencies, 8, &count), 0);
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(currencies[2].code, "EUR");
    ExpectAmount(currencies[2].amounts[2], 75000, 100);
    ExpectAmount(currencies[2].amounts[3], 0, 0);

    Play({ReplyWith(0, 0x00C1, 0, "2" + GS + "30.00" + FS)});
    ASSERT_EQ(layer.ReadCashierNoncashByFacility(facilities, 8, &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(peer.Payloads(), (Payloads{"ip", "kp", "kc", "ki", "wc", "wp"}));
}

TEST_F(InfoRequests, PairsAreClearedFirstWhereTheRepliesAreShort) {
    DecimalPair first = {9, 9};
    DecimalPair second = {9, 9};
    DecimalPair third = {9, 9};
    DWORD session = 0;
    Play({ReplyWith(0, 0x00C1, 0, "0042" + FS + "5.00")});
    ASSERT_EQ(layer.ReadSessionDiscountsSurcharges(&session, &first, &second), 0);
    ExpectAmount(first, 500, 100);
    ExpectAmount(second, 0, 0);

    first = second = third = {9, 9};
    Play({ReplyWith(0, 0x00C1, 0, "0042" + FS + "1500.00" + FS + "120.5" + FS + "77")});
    ASSERT_EQ(layer.ReadSessionAccumulatedTotals(&session, &first, &second, &third), 0);
    ExpectAmount(first, 150000, 100);
    ExpectAmount(second, 1205, 10);
    ExpectAmount(third, 77, 0);

    first = second = {9, 9};
    Play({ReplyWith(0, 0x00C3, 0, "")});
    ASSERT_EQ(layer.ReadReceiptDiscountsSurcharges(&first, &second), 0);
    ExpectAmount(first, 0, 0);
    ExpectAmount(second, 0, 0);

    // The receipt totals are not cleared: a missing field keeps its value.
    first = second = {9, 9};
    Play({ReplyWith(0, 0x00C3, 0, "31.25")});
    ASSERT_EQ(layer.ReadReceiptTotals(&first, &second), 0);
    ExpectAmount(first, 3125, 100);
    ExpectAmount(second, 9, 9);

    // A refused request leaves the cleared ones cleared.
    first = second = {9, 9};
    Play({ReplyWith(0x03, 0x00C1, 0, "0042" + FS + "5.00")});
    EXPECT_EQ(layer.ReadSessionDiscountsSurcharges(&session, &first, &second), -3 - 9200);
    ExpectAmount(first, 0, 0);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"ix", "ig" + FS + "0042", "kx", "kg", "ix" + FS + "0042"}));
}

TEST_F(InfoRequests, JournalInfoAndRestaurantOrders) {
    DWORD session = 0;
    DWORD size = 1;
    ULONG checksum = 1;
    Play({ReplyWith(0, 0x00C0, 0, "0041" + FS + "20480" + FS + "9ab3c0de")});
    ASSERT_EQ(layer.ReadSessionJournalInfo(&session, &size, &checksum), 0);
    EXPECT_EQ(session, 41U);
    EXPECT_EQ(size, 20480U);
    EXPECT_EQ(checksum, 0x9AB3C0DEUL);
    Play({ReplyWith(0, 0x00C0, 0, "0041" + FS + "100")});
    ASSERT_EQ(layer.ReadSessionJournalInfo(&session, &size, &checksum), 0);
    EXPECT_EQ(size, 100U);
    EXPECT_EQ(checksum, 0x9AB3C0DEUL);

    // "il" is asked like the other session requests, but its reply starts with the amounts.
    DecimalPair open = {9, 9};
    DecimalPair closed = {9, 9};
    DWORD openCount = 9;
    DWORD closedCount = 9;
    session = 3;
    Play({ReplyWith(0, 0x00C0, 0, "45.50" + GS + "2" + FS + "300" + GS + "11")});
    ASSERT_EQ(layer.ReadSessionRestaurantOrders(&session, &open, &openCount, &closed, &closedCount),
              0);
    EXPECT_EQ(session, 3U);
    ExpectAmount(open, 4550, 100);
    EXPECT_EQ(openCount, 2U);
    ExpectAmount(closed, 300, 0);
    EXPECT_EQ(closedCount, 11U);
    Play({ReplyWith(0, 0x00C0, 0, "45.50")});
    ASSERT_EQ(layer.ReadSessionRestaurantOrders(&session, &open, &openCount, &closed, &closedCount),
              0);
    EXPECT_EQ(openCount, 0U);
    ExpectAmount(closed, 0, 0);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"ij", "ij" + FS + "0041", "il" + FS + "0003", "il" + FS + "0003"}));
}

}  // namespace
}  // namespace prottest
