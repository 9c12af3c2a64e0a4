#include <cstring>

#include "Commands.h"

namespace emu {

namespace {

struct CommandEntry {
    char code[3];  // two letters and the terminator
    CommandHandler handler;
};

constexpr CommandEntry kCommands[] = {
    // Status, identification, link.
    {"gs", CmdGetStatus},
    {"gn", CmdGetDocumentNumbers},
    {"gt", CmdGetClock},
    {"gm", CmdGetManufacturerData},
    {"gi", CmdGetInitializationData},
    {"gw", CmdGetHardwareStatus},
    {"gx", CmdGetFirmware},
    {"cr", CmdResetPrinter},
    {"c0", CmdRestart},
    // Tables.
    {"gd", CmdGetDepartments},
    {"sd", CmdSetDepartments},
    {"gc", CmdGetCurrencies},
    {"sc", CmdSetCurrencies},
    {"gp", CmdGetFacilities},
    {"sp", CmdSetFacilities},
    {"gb", CmdGetHeader},
    {"sb", CmdSetHeader},
    {"ge", CmdGetFooter},
    {"se", CmdSetFooter},
    {"st", CmdSetClock},
    // The day and the reports.
    {"zb", CmdOpenDay},
    {"zx", CmdXReport},
    {"ze", CmdCloseDay},
    {"zd", CmdReportByDate},
    {"zz", CmdReportByNumber},
    {"zv", CmdTaxTableReport},
    {"zw", CmdCashierReport},
    {"zs", CmdSettingsReport},
    {"zg", CmdRegistersReport},
    {"hc", CmdSelfTest},
    // Documents.
    {"rb", CmdBeginReceipt},
    {"as", CmdSellArticle},
    {"ad", CmdArticleDiscount},
    {"aa", CmdArticleSurcharge},
    {"rd", CmdReceiptDiscount},
    {"ra", CmdReceiptSurcharge},
    {"rs", CmdSubtotal},
    {"rt", CmdCompleteReceipt},
    {"ct", CmdContinueReceipt},
    {"rc", CmdPayCash},
    {"rn", CmdPayNoncash},
    {"ri", CmdCashInOut},
    {"re", CmdEndReceipt},
    {"cp", CmdCancelPrinting},
    {"ls", CmdDocumentFlags},
    {"pl", CmdPrintLine},
    // The cashier.
    {"wi", CmdCashierLogin},
    {"wg", CmdReadCashier},
    {"wc", CmdCashierCollectedAmounts},
    {"wp", CmdCashierNoncashByFacility},
    // Information requests.
    {"in", CmdSessionDocumentCounts},
    {"it", CmdSessionDateTime},
    {"is", CmdSessionSalesByDepartment},
    {"ir", CmdSessionRefundsByDepartment},
    {"ic", CmdSessionCashByCurrency},
    {"ip", CmdSessionNoncashByFacility},
    {"ix", CmdSessionDiscountsSurcharges},
    {"ig", CmdSessionAccumulatedTotals},
    {"ii", CmdSessionCollectedAmounts},
    {"ij", CmdSessionJournalInfo},
    {"il", CmdSessionRestaurantOrders},
    {"kg", CmdReceiptTotals},
    {"ks", CmdReceiptSalesByDepartment},
    {"kr", CmdReceiptRefundsByDepartment},
    {"kc", CmdReceiptCashByCurrency},
    {"kp", CmdReceiptNoncashByFacility},
    {"kx", CmdReceiptDiscountsSurcharges},
    {"ki", CmdReceiptCollectedByCurrency},
    // Electronic journal.
    {"jz", CmdJournalExtent},
    {"jg", CmdJournalBlock},
    {"jb", CmdJournalDayBounds},
    {"jv", CmdJournalValidate},
    {"jp", CmdJournalPrint},
    // Printing extras and logo files.
    {"pf", CmdSetFont},
    {"pt", CmdPrintText},
    {"pb", CmdPrintBarcode},
    {"ho", CmdOpenDrawer},
    {"fo", CmdOpenFile},
    {"fw", CmdWriteFile},
    {"fc", CmdCloseFile},
    {"sl", CmdSelectLogo},
    // Control unit and fiscalisation.
    {"iv", CmdUnitIdentifier},
    {"vw", CmdUnitExchange},
    {"vr", CmdUnitStatus},
    {"vc", CmdUnitUnlock},
    {"fv", CmdReplaceUnit},
    {"zi", CmdUnitReport},
    {"fi", CmdInitializeFiscal},
};

}  // namespace

CommandHandler FindCommand(const std::string& code) {
    if (code.size() != 2) {
        return nullptr;
    }
    for (const CommandEntry& entry : kCommands) {
        if (std::memcmp(entry.code, code.data(), 2) == 0) {
            return entry.handler;
        }
    }
    return nullptr;
}

}  // namespace emu
