// Whatever a driver sends, the virtual printer answers with a sound reply, and what it then keeps
// is a state it can load again.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "FiscalFixture.h"
#include "PrinterState.h"

namespace {

using EmuRobustnessTest = emutest::FiscalFixture;

// A request of a kind: its code and, for each field, the values it may take (good and bad).
struct Kind {
    std::string code;
    unsigned weight;  // how often it comes, so that documents get through their stages
    std::vector<std::vector<std::string>> fields;
};

TEST_F(EmuRobustnessTest, MixedUpRequestsGetAnAnswerAndLeaveALoadableState) {
    const std::string gs(1, emutest::GS);
    const std::vector<std::string> amounts = {
        "0",     "1",      "12.50",       "-12.50",      "0.01",   "-0.01", "1000.00", "5.00",
        "20.00", "100.00", "99999999999", "10000000000", "1.2345", "x",     ""};
    const std::vector<std::string> numbers = {"0", "1", "2", "3", "4", "7", "9999", "x", ""};
    const std::vector<std::string> texts = {
        "", "A", W("Хлеб"), "a" + gs + "b", std::string(600, 'x'), "\x7F", "1:2"};
    const std::vector<std::string> codes = {"RUB", "usd", "EUR", "XXX", ""};
    const std::vector<Kind> kinds = {
        {"zb", 3, {}},
        {"ze", 1, {}},
        {"zx", 1, {}},
        {"rb",
         6,
         {{"0", "1", "1", "1", "2", "3", "4", "7", "10", "21", "6", "5" + gs + "1",
           "5" + gs + "1" + gs + "t", "20" + gs + "T" + gs + gs, "21" + gs + "T" + gs + gs,
           "1" + gs + "a"}}},
        {"as",
         8,
         {texts, amounts, numbers, {"1", "2.5", "0", "-1", "3.261" + gs + "kg", "x"}, amounts}},
        {"ad", 2, {texts, amounts, numbers}},
        {"aa", 2, {texts, amounts, numbers}},
        {"rd", 2, {texts, amounts}},
        {"ra", 2, {texts, amounts}},
        {"rs", 1, {}},
        {"rt", 6, {amounts}},
        {"ct", 1, {}},
        {"rc", 8, {amounts}},
        {"rc", 2, {amounts, codes, amounts, amounts}},
        {"rn", 4, {amounts, numbers, texts}},
        {"ri", 4, {amounts, codes}},
        {"re", 8, {}},
        {"cp", 3, {}},
        {"pl", 2, {numbers, texts}},
        {"wi", 1, {texts}},
        {"sd", 1, {{"1" + gs + "A" + gs + "X", "0" + gs + "N" + gs, "1" + gs + "AB" + gs + "X"}}},
        {"sc", 1, {codes, {"0" + gs + "RUB" + gs + "2", "1" + gs + "USD" + gs + "4", "x"}}},
        {"sp", 1, {{"1" + gs + "CARD", "9" + gs + "X", ""}}},
        {"st", 1, {{"20261207" + gs + "101010", "x"}}},
        {"ls", 1, {}},
        // Printing extras, logo files, the journal, the control unit and fiscalisation.
        {"pf", 1, {numbers}},
        {"pt", 2, {texts}},
        {"pb", 1, {{"1", "9", "10", "QRCODE" + gs + "3" + gs + "H" + gs + "2", "x"}, texts}},
        {"ho", 1, {}},
        {"fo", 1, {{"LOGO.BMP", "", std::string(40, 'n')}}},
        {"fw", 2, {{"424D", "00", "0", "zz", std::string(510, 'F'), std::string(512, 'F')}}},
        {"fc", 1, {}},
        {"sl", 1, {{"LOGO.BMP", "", "X"}, {"EPSON" + gs + "AC", "BMP" + gs + "#5", "EPSON", "x"}}},
        {"jz", 1, {numbers}},
        {"jg", 2, {numbers, {"0", "1F", "200", "FFFFFFFF", "x"}, {"1", "200", "201", "0", "x"}}},
        {"jb", 1, {}},
        {"jv", 1, {{"VALID", "0", "352441C2", "x", ""}}},
        {"jp", 1, {{"", "PRINT", "x"}}},
        {"iv", 1, {}},
        {"fv", 1, {texts, {"1" + gs + "2", "1" + gs + "2" + gs + "3", "", "x"}}},
        {"zi", 1, {}},
        {"fi", 1, {{"0001", "0201", "0000", "x"}, texts, texts, {"1", "1" + gs + "2" + gs + "3"}}},
    };
    const std::vector<std::string> requests = {"in", "it", "is", "ir", "ic", "ip", "ix", "ig",
                                               "ii", "ij", "il", "kg", "ks", "kr", "kc", "kp",
                                               "kx", "ki", "wc", "wp", "wg", "gd", "gc", "gp"};
    unsigned total = 0;
    for (const Kind& kind : kinds) {
        total += kind.weight;
    }
    std::mt19937 random(20261207);
    unsigned accepted = 0;
    for (int i = 0; i < 5000; ++i) {
        std::string payload;
        if (random() % 4 == 0) {
            payload = requests[random() % requests.size()];
            if (random() % 2 == 0) {
                payload += emutest::FS + numbers[random() % numbers.size()];
            }
        } else {
            unsigned pick = random() % total;
            size_t k = 0;
            while (pick >= kinds[k].weight) {
                pick -= kinds[k].weight;
                ++k;
            }
            const Kind& kind = kinds[k];
            payload = kind.code;
            // Now and then a field too few or one too many.
            size_t count = kind.fields.size();
            if (random() % 8 == 0) {
                count = random() % (count + 2);
            }
            for (size_t f = 0; f < count; ++f) {
                const std::vector<std::string>& pool =
                    f < kind.fields.size() ? kind.fields[f] : numbers;
                payload += emutest::FS + pool[random() % pool.size()];
            }
        }
        if (payload.size() > 1000) {
            payload.resize(1000);
        }
        const emutest::ParsedReply reply = emutest::ParseReply(Ask(payload));
        ASSERT_TRUE(reply.ok) << Printable(payload);
        accepted += reply.error == 0 ? 1 : 0;
        if (i % 100 == 0) {
            emu::PrinterState loaded;
            ASSERT_EQ(emu::LoadState(emu::SaveState(printer.State()), loaded), 0)
                << "after " << Printable(payload);
            EXPECT_EQ(emu::SaveState(loaded), emu::SaveState(printer.State()));
        }
    }
    // The mix reached the fiscal model, not only its refusals.
    const emu::PrinterState state = printer.State();
    uint32_t sales = 0;
    for (const emu::Session& day : state.sessions) {
        sales += day.sales;
    }
    EXPECT_GT(accepted, 1000u);
    EXPECT_GT(sales, 10u);
}

}  // namespace
