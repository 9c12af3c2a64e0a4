#include "StatusPanel.h"

using namespace drvmember;

const StatusLine kStatusLines[kStatusLineCount] = {
    {&StateFiscal, true, "Фискализирован"},
    {&StateDayOpen, true, "Смена открыта"},
    {&StateReceiptOpen, true, "Чек открыт"},
    {&StateReceiptReadyForTotal, true, "Чек сформирован"},
    {&StatePrinterNeedReset, true, "Требуется сброс"},
    {&StatePrinterReady, false, "Принтер не готов"},
    {&StateElectronicJournalPresent, true, "Ведется EJ"},
    {&StateJournalNearEnd, true, "Заканчивается журн. лента"},
    {&StateReceiptNearEnd, true, "Заканчивается чек. лента"},
    {&StateElectronicJournalNearEnd, true, "Заканчивается EJ"},
    {&StateFiscalMemoryNearEnd, true, "Заканчивается фиск. память"},
    {&StateElectronicJournalNeedValidate, true, "Требуется вычитка EJ"},
    {&StateTaxAuthoritiesControlUnitPresent, true, "Наличие СКНО"},
    {&StateRestaurantMode, true, "Ресторанный режим"},
    {&StateBlocked, true, "Блокирован"},
};

const StatusLine kBlockingLines[kBlockingLineCount] = {
    {&StateBlockedConfig, true, "Ошибка конфигурации"},
    {&StateBlockedMemory, true, "Ошибка памяти"},
    {&StateBlockedRealTimeClock, true, "Ошибка часов"},
    {&StateBlockedNeedPrintZ, true, "Требуется закрытие смены"},
    {&StateBlockedFiscalMemory, true, "Ошибка фиск. памяти"},
    {&StateBlockedFiscalMemoryFull, true, "Переполнена фиск. память"},
    {&StateBlockedElectronicJournal, true, "Ошибка EJ"},
    {&StateBlockedElectronicJournalFull, true, "Переполнен EJ"},
    {&StateBlockedSturtup, true, "Запуск принтера"},
    {&StateBlockedTaxAuthoritiesControlUnit, true, "Ошибка СКНО"},
};
