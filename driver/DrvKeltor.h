// CDrvKeltor: the driver object behind IDrvKeltor.
//
// The object keeps the interface's input and output properties, the cached status words of the
// printer and one fiscal command layer (CBrontal) for its whole life. Property accessors of stored
// state never talk to the printer and never touch the process-wide result code; device members
// run in the operation frame (DrvKeltorFrame.h). The COM identity (IUnknown, IDispatch) is added
// by the hosting layer, which creates the object, runs FinalConstruct and, at the last Release,
// FinalRelease.
//
// Thread-safety: apartment-threaded. All calls on one object arrive on the thread that created
// it; the process-wide result code, product version and settings are shared without locks.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "Brontal.h"
#include "IDrvKeltor.h"
#include "ReceiptContext.h"

// Texts inside the object are narrow strings of the ANSI code page (Windows-1251).
using AnsiText = std::string;

constexpr WORD kUnknownStatusWord = 0xFFFF;
constexpr DWORD kTextToPrintLimit = 512;
constexpr DWORD kProductVersionLimit = 32;
constexpr DWORD kIdentificationTextCapacity = 64;
constexpr WORD kRestaurantModeOption = 0x0400;

class CDeviceFrame;

class CDrvKeltor : public IDrvKeltor, public ISupportErrorInfo {
  public:
    // Creates the command layer; an object whose layer could not be allocated keeps none.
    CDrvKeltor();
    // Takes the given command layer (none when null): a host that supplies its own peer.
    explicit CDrvKeltor(std::unique_ptr<CBrontal> commandLayer);
    CDrvKeltor(const CDrvKeltor&) = delete;
    CDrvKeltor& operator=(const CDrvKeltor&) = delete;

    // Starts the settings monitor, reads the product version and the saved port and speed.
    // E_FAIL without a command layer: the object must then not be handed out.
    HRESULT FinalConstruct();
    // Stops the settings monitor, destroys the command layer (closing the link) and the arrays.
    void FinalRelease();

#define DRV_METHOD(dispid, name) STDMETHOD(name)() override;
#define DRV_PROPERTY(dispid, name, access, type, ...) DRV_DECLARE_##access(name, type, override)
#include "DrvKeltorMembers.def"

    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) override;

    // ---- the operation frame's pieces, used by every method family ----

    // The command layer, or null when it could not be created.
    CBrontal* CommandLayer() const {
        return m_brontal.get();
    }
    // Brings the cached status words up to date: the words of the last reply when the layer
    // has one, else a "gs" exchange. Traced as an internal routine. 0 or the failure code.
    int RefreshPrinterStatus();
    // The same without trace lines (description rebuild, ResetPrinter).
    int ReadStatusWords();
    // Rebuilds the description text for result code `code`.
    void RebuildDescription(int code);
    const AnsiText& Description() const {
        return m_description;
    }
    WORD StatusWord() const {
        return m_statusWord;
    }
    WORD BlockingWord() const {
        return m_blockingWord;
    }

    // ---- receipt context (ReceiptContext.cpp), used by Connect and the printing methods ----

    // Clears the totals, the correction and the non-cash inputs; with `clearInputs` also the
    // line inputs (quantity, price, department, amount, article and the texts).
    void ResetReceiptContext(bool clearInputs);
    // Rebuilds the context of a receipt left open from the printer ("gn", "kg") and hands its
    // total to the command layer. 0 or the failing command's code.
    int RestoreReceiptContext();
    // Subtotal, Debt and Change after a receipt command: the printer's figures once the receipt
    // is ready for its total, the command layer's running total before. 0 or the "kg" failure.
    int RefreshReceiptTotals();
    // The cash paid so far in the open receipt, every currency added as it is; 0 when the
    // printer cannot tell.
    LONGLONG CalcCashPayedSum();
    // A receipt command whose attempts ran out without a valid reply may have been executed:
    // the printer's receipt tells. 0 when the command's `effect` shows there (the command
    // layer's running total then follows the printer's), `result` when it does not, -9009 when
    // the printer cannot say. Any other result is returned as it is.
    int SettleReceiptCommand(int result, ReceiptEffect effect);
    // A query after an executed command (status words, receipt totals) changes nothing on the
    // printer: while the line spoils it, it is asked again, so that a command that was done is
    // not reported as failed only because the state after it could not be read.
    int QueryAfterCommand(int (CDrvKeltor::*query)());

    // ---- connection and device status (ConnectionMethods.cpp) ----

    // Reads "gw": the printer width, and the model text as the printer name while the object has
    // none. 0 or the command's code.
    int RefreshHardwareStatus();

  protected:
    // The host destroys the object through its own final class.
    ~CDrvKeltor();

  private:
    // Common bodies of the main members and their twins.
    HRESULT GetInitializationOptions(LPCSTR name, WORD* options);
    HRESULT PutHyphenationLength(LPCSTR name, LONG length);
    HRESULT PutTraceMask(LPCSTR name, DWORD mask);
    // Journal steps shared by the read methods and the offset getters (JournalMethods.cpp).
    int ReadJournalIntoData(CDeviceFrame& frame);
    int PrintJournalData(CDeviceFrame& frame);
    HRESULT GetElectronicJournalReadOffset(LPCSTR name, DWORD* offset);
    HRESULT GetIntegerItems(LPCSTR name, SAFEARRAY** items, VARTYPE elementType);
    HRESULT PutIntegerItems(LPCSTR name, SAFEARRAY* items, VARTYPE elementType);
    // Connection and identification steps (ConnectionMethods.cpp, IdentificationGetters.cpp).
    int ReadManufacturerTexts();
    int ReadFirmwareTexts();
    int ReadTaxpayerTexts();
    void IdentifyPrinter();
    void ClearBlockingStates();
    HRESULT GetIdentificationText(LPCSTR name, const AnsiText& cached, int (CDrvKeltor::*read)(),
                                  BSTR* text);
    // Steps shared by the receipt methods (ReceiptMethods.cpp, PaymentMethods.cpp).
    int OpenDocumentIfNeeded(CDeviceFrame& frame, WORD type);
    int BeginDocument(CDeviceFrame& frame, WORD type);
    int SellLine(CDeviceFrame& frame, BOOL sale);
    int CorrectArticle(CDeviceFrame& frame, bool surcharge, BOOL direction);
    int CorrectReceipt(CDeviceFrame& frame, bool surcharge);
    int ReadOpenDocumentType(CDeviceFrame& frame, int* type);
    int PayCashSteps(CDeviceFrame& frame, BOOL payment, bool checkDocument);
    // "rn" of `amount` once the method's checks passed; the receipt totals follow it.
    int SendNoncash(CDeviceFrame& frame, BOOL payment, LONGLONG amount);
    int CashInOutSteps(CDeviceFrame& frame, BOOL income);
    void SetReceiptTotals(LONGLONG subtotal, LONGLONG paid);
    // Enlarged text in the open document, opening a text document first (PrintingExtras.cpp).
    int PrintEnlargedText(CDeviceFrame& frame, UINT font);
    // The session, receipt and cashier requests (RequestMethods.cpp). A request's twin runs the
    // same request under its own name: RunInfoRequest("CDrvKeltor::ReqSessSalesByDepartment2",
    // InfoRequest::SessionSalesByDepartment).
    enum class InfoRequest {
        SessionDocumentCount,
        SessionDateTime,
        SessionSalesByDepartment,
        SessionRefundsByDepartment,
        SessionCashSalesRefundsByCurrency,
        SessionNoncashSalesRefundsByFacility,
        SessionDiscountsSurcharges,
        SessionAccumulatedTotals,
        SessionCollectedAmounts,
        SessionElectronicJournalInfo,
        SessionRestaurantOrders,
        ReceiptSalesByDepartment,
        ReceiptRefundsByDepartment,
        ReceiptCashPaymentsByCurrency,
        ReceiptNoncashPaymentsByFacility,
        ReceiptDiscountsSurcharges,
        ReceiptTotals,
        ReceiptCollectedAmountsByCurrency,
        CashierCollectedAmounts,
        CashierNoncashPaymentsByFacility,
    };
    // The request's row of the table that drives both the clearing and the reading.
    struct InfoRequestRow;
    static const InfoRequestRow& InfoRequestRowOf(InfoRequest request);
    HRESULT RunInfoRequest(LPCSTR name, InfoRequest request);
    void ClearInfoResults(const InfoRequestRow& row);
    int InfoRequestSteps(CBrontal& layer, const InfoRequestRow& row);
    int SessionDateTimeSteps(CBrontal& layer);
    int SessionJournalInfoSteps(CBrontal& layer);

    // 1. link settings
    WORD m_comPort = 0;
    DWORD m_baudRate = 0;
    // 2. the command layer; whether this object counts among the settings monitor's users
    std::unique_ptr<CBrontal> m_brontal;
    bool m_monitorUser = false;
    // 3. description of the last result, cashier login
    AnsiText m_description;
    AnsiText m_cashierLogin;
    // 4. cached status words
    WORD m_statusWord = kUnknownStatusWord;
    WORD m_blockingWord = kUnknownStatusWord;
    // 5. journal save folder
    AnsiText m_electronicJournalSavePath;
    // 6. receipt line inputs
    WORD m_receiptType = 0;
    CY m_quantity = {};
    CY m_price = {};
    WORD m_department = 0;
    AnsiText m_article;
    AnsiText m_stringToPrint;
    AnsiText m_textToPrint;
    AnsiText m_quantityUnit;
    // 7. correction inputs
    CY m_correctionAmount = {};
    AnsiText m_correctionMnemo;
    // 8. payment inputs and receipt totals
    CY m_amount = {};
    CY m_change = {};
    CY m_debt = {};
    CY m_subtotal = {};
    WORD m_noncashType = 0;
    AnsiText m_noncashAttribute;
    CY m_amountCurrencyRate = {};
    AnsiText m_amountCurrency;
    // 9. report selectors; a date's validity word says whether it was set
    WORD m_selectFromNumber = 0;
    WORD m_selectToNumber = 0;
    DATE m_selectFromDate = 0;
    WORD m_selectFromDateValid = 0;
    DATE m_selectToDate = 0;
    WORD m_selectToDateValid = 0;
    WORD m_selectScopeDetailed = 0;
    // 10. journal checksum, document, receipt and session numbers, printer width
    DWORD m_electronicJournalCrc = 0;
    DWORD m_documentNumber = 0;
    DWORD m_receiptNumber = 0;
    DWORD m_sessionNumber = 0;
    DWORD m_printerWidth = 0;
    // 11. printer name, receipt header and footer, raw command
    AnsiText m_printerName;
    AnsiText m_receiptHeader;
    AnsiText m_receiptFooter;
    AnsiText m_rawCommandBytes;
    // 12. table items
    SAFEARRAY* m_stringTableItems = nullptr;
    SAFEARRAY* m_integerTableItems = nullptr;
    AnsiText m_defaultStringTableItem;
    DWORD m_defaultIntegerTableItem = 0;
    // The departments' tax letters as the last table read gave them: a table written back keeps
    // them, since the interface carries only numbers and names.
    DepartmentEntry m_departmentLetters[kDepartmentTableCapacity] = {};
    int m_departmentLetterCount = 0;
    // 13. request selectors
    WORD m_requestSession = 0;
    WORD m_requestDepartment = 0;
    AnsiText m_requestCurrency;
    WORD m_requestNoncashFacility = 0;
    // 14. request results
    DWORD m_salesCount = 0;
    DWORD m_refundsCount = 0;
    DWORD m_cancellationCount = 0;
    DWORD m_documentsCount = 0;
    DATE m_sessionStartDate = 0;
    DATE m_sessionEndDate = 0;
    CY m_salesAmount = {};
    CY m_refundsAmount = {};
    CY m_salesAmountInCurrency = {};
    CY m_refundsAmountInCurrency = {};
    CY m_noncashAmount = {};
    CY m_discountsAmount = {};
    CY m_surchargesAmount = {};
    CY m_accumulatedSalesAmount = {};
    CY m_accumulatedRefundsAmount = {};
    CY m_incomeAmount = {};
    CY m_outcomeAmount = {};
    CY m_previousCollectedAmount = {};
    CY m_collectedAmount = {};
    DWORD m_electronicJournalSize = 0;
    CY m_paymentAmount = {};
    CY m_paymentAmountInCurrency = {};
    // 15. barcode
    WORD m_barcodeType = 4;
    AnsiText m_barcodeToPrint;
    // 16. identification cached at Connect
    AnsiText m_manufacturerCountryCode;
    AnsiText m_manufacturerSerialNumber;
    AnsiText m_taxpayerAccountNumber;
    AnsiText m_firmwareMnemo;
    AnsiText m_firmwareVersion;
    // 17. journal read window and data
    DWORD m_electronicJournalReadOffset = 0;
    DWORD m_electronicJournalReadSize = 0;
    AnsiText m_electronicJournalData;
    // 18. cancellation
    DWORD m_cancellationDocumentNumber = 0;
    AnsiText m_cancellationMnemo;
    CY m_cancellationAmount = {};
    // 19. logo files
    AnsiText m_bmpLogoToLoadFilePath;
    AnsiText m_bmpLogoFileToSelect;
    // 20. control unit
    WORD m_controlUnitStatus = 0;
    AnsiText m_controlUnitUid;
    AnsiText m_controlUnitInfo;
    AnsiText m_controlUnitAnswer;
    WORD m_controlUnitCrc = 0;
    AnsiText m_controlUnitPassword;
    AnsiText m_controlUnitSerialNumber;
    AnsiText m_controlUnitRegisterNumber;
    // 21. initialisation
    WORD m_initializationOptions = 0;
    AnsiText m_initializationPassword;
    AnsiText m_initializationNewPassword;
    // 22. goods and restaurant
    WORD m_typeOfGoods = 0;
    AnsiText m_barcodeOfGoods;
    AnsiText m_restaurantOrder;
    AnsiText m_restaurantReservations;
    AnsiText m_restaurantAccommodation;
    CY m_restaurantAmount = {};
    CY m_restaurantOpenOrderAmount = {};
    CY m_restaurantClosedOrderAmount = {};
    DWORD m_restaurantOpenOrderCount = 0;
    DWORD m_restaurantClosedOrderCount = 0;
    // 23. flags. The QR code values and the progress flag are 32-bit like their interface
    // type, so that no accepted value is cut to 0.
    WORD m_forcePrintControlTapeOnly = 0;
    WORD m_suppressAutodetect = 0;
    WORD m_forcePrintSingleQuantity = 0;
    LONG m_qrCodeSize = 3;
    LONG m_qrCodeVersion = 2;
    LONG m_suppressJournalReadProgress = 0;
};
