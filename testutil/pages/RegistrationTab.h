// "Регистрация": receipts line by line, payments, cash, printed texts and barcodes, and the
// switch of deferred calls.
#pragma once

#include "TabPage.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;

class CRegistrationTab : public CTabPage {
  public:
    CRegistrationTab(CPageContext& context, CTabPage* parentPage);

  protected:
    void Build() override;

  private:
    QGridLayout* Group(const char* title, int row, int column, int rowSpan = 1);
    void BuildReceipt(QGridLayout* grid);
    void BuildLine(QGridLayout* grid);
    void BuildCorrection(QGridLayout* grid);
    void BuildTotals(QGridLayout* grid);
    void BuildPayment(QGridLayout* grid);
    void BuildTexts(QGridLayout* grid);
    void BuildBarcode(QGridLayout* grid);
    void BuildDocument(QGridLayout* grid);

    // The article line's fields put, then `method`.
    void SendLine(CCalls& calls, const DrvMember& method);
    void Correct(CCalls& calls);
    void Pay(CCalls& calls);
    // Subtotal, Debt and Change read into their fields.
    void ShowTotals(CCalls& calls);
    void PaymentKinds();
    void ControlTapeToggled(bool on);
    void DeferredToggled(bool on);

    QComboBox* m_receiptType = nullptr;
    QCheckBox* m_controlTape = nullptr;
    QCheckBox* m_singleQuantity = nullptr;
    QCheckBox* m_deferred = nullptr;
    QLineEdit* m_article = nullptr;
    QLineEdit* m_price = nullptr;
    QLineEdit* m_quantity = nullptr;
    QComboBox* m_unit = nullptr;
    QLineEdit* m_department = nullptr;
    QLineEdit* m_typeOfGoods = nullptr;
    QLineEdit* m_goodsBarcode = nullptr;
    QComboBox* m_correction = nullptr;
    QLineEdit* m_correctionAmount = nullptr;
    QLineEdit* m_correctionMnemo = nullptr;
    QLineEdit* m_subtotal = nullptr;
    QLineEdit* m_debt = nullptr;
    QLineEdit* m_change = nullptr;
    QComboBox* m_payment = nullptr;
    QLineEdit* m_amount = nullptr;
    QLineEdit* m_noncashType = nullptr;
    QComboBox* m_currency = nullptr;
    QLineEdit* m_currencyRate = nullptr;
    QLineEdit* m_stringToPrint = nullptr;
    QLineEdit* m_textToPrint = nullptr;
    QComboBox* m_barcodeType = nullptr;
    QLineEdit* m_barcode = nullptr;
    QLineEdit* m_cancellationNumber = nullptr;
    QLineEdit* m_cancellationAmount = nullptr;
    QLineEdit* m_cancellationMnemo = nullptr;
    QLineEdit* m_restaurantAmount = nullptr;
    QLineEdit* m_restaurantOrder = nullptr;
    QLineEdit* m_restaurantReservations = nullptr;
    QLineEdit* m_restaurantAccommodation = nullptr;
    QLineEdit* m_documentNumber = nullptr;
    QLineEdit* m_sessionNumber = nullptr;
    QLineEdit* m_journalOffset = nullptr;
    QLineEdit* m_journalSize = nullptr;
};
