#include "RegistrationTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "AnsiText.h"
#include "Messages.h"
#include "PageWidgets.h"

using namespace drvmember;

namespace {

// The discounts and surcharges of the choice list, in its order.
const DrvMember* const kCorrections[] = {&DiscountReceipt,  &Discount,  &StornoDiscount,
                                         &SurchargeReceipt, &Surcharge, &StornoSurcharge};

constexpr LONG kRefundReceipt = 2;

}  // namespace

CRegistrationTab::CRegistrationTab(CPageContext& context, CTabPage* parentPage)
    : CTabPage(FromAnsi("Регистрация"), parentPage, context) {}

QGridLayout* CRegistrationTab::Group(const char* title, int row, int column, int rowSpan) {
    auto* box = new QGroupBox(FromAnsi(title), this);
    auto* grid = new QGridLayout(box);
    grid->setColumnStretch(1, 1);
    Grid()->addWidget(box, row, column, rowSpan, 1);
    return grid;
}

void CRegistrationTab::Build() {
    BuildReceipt(Group("Чек", 0, 0));
    BuildLine(Group("Позиция", 1, 0));
    BuildCorrection(Group("Скидки и надбавки", 2, 0));
    BuildTotals(Group("Итог", 3, 0));
    BuildPayment(Group("Оплата и касса", 0, 1, 2));
    BuildTexts(Group("Печать текста", 2, 1));
    BuildBarcode(Group("Штрихкод", 3, 1));
    BuildDocument(Group("Документ", 0, 2, 4));
    Grid()->setRowStretch(4, 1);
    for (int column = 0; column < 3; ++column) {
        Grid()->setColumnStretch(column, 1);
    }
}

void CRegistrationTab::BuildReceipt(QGridLayout* grid) {
    m_receiptType = AddChoice(this, grid, 0, 0, "Тип чека:", QStringLiteral("receiptType"),
                              AnsiList({"Нефиск.", "Продажа", "Возврат", "Инкасс."}),
                              MemberNames({&ReceiptType}));
    m_receiptType->setCurrentIndex(1);
    AddButton(grid, 0, 2, FromAnsi("Открыть чек"), {&ReceiptType, &OpenReceipt},
              [this](CCalls& calls) {
                  calls.PutNumber(ReceiptType, m_receiptType->currentIndex());
                  calls.Call(OpenReceipt);
                  ShowTotals(calls);
              })
        ->setObjectName(QStringLiteral("openReceipt"));
    m_controlTape =
        AddCheck(this, grid, 1, 0, "Только на контрольную ленту", QStringLiteral("controlTapeOnly"),
                 MemberNames({&StateReceiptOpen, &ForcePrintControlTapeOnly}));
    m_singleQuantity =
        AddCheck(this, grid, 2, 0, "Печатать количество 1", QStringLiteral("singleQuantity"),
                 MemberNames({&ForcePrintSingleQuantity}));
    m_deferred = AddCheck(this, grid, 3, 0, "Пакетный режим (вызовы отправляются при снятии)",
                          QStringLiteral("deferred"));
    connect(m_controlTape, &QCheckBox::toggled, this, [this](bool on) { ControlTapeToggled(on); });
    connect(m_deferred, &QCheckBox::toggled, this, [this](bool on) { DeferredToggled(on); });
    connect(m_receiptType, &QComboBox::currentIndexChanged, this, [this] { PaymentKinds(); });
}

void CRegistrationTab::BuildLine(QGridLayout* grid) {
    m_article = AddField(this, grid, 0, 0, "Товар:", QStringLiteral("article"),
                         FromAnsi("Кофе Якобс-Монарх клас."), MemberNames({&Article}));
    m_price = AddField(this, grid, 1, 0, "Цена:", QStringLiteral("price"), QStringLiteral("6.54"),
                       MemberNames({&Price}));
    m_quantity = AddField(this, grid, 2, 0, "Количество:", QStringLiteral("quantity"),
                          QStringLiteral("1"), MemberNames({&Quantity}));
    m_unit = AddChoice(this, grid, 3, 0, "Единица:", QStringLiteral("unit"),
                       AnsiList({"шт", "кг", "л"}), MemberNames({&QuantityUnit}));
    m_department = AddField(this, grid, 4, 0, "Отдел:", QStringLiteral("department"),
                            QStringLiteral("1"), MemberNames({&Department}));
    m_typeOfGoods = AddField(this, grid, 5, 0, "Вид товара:", QStringLiteral("typeOfGoods"),
                             QStringLiteral("0"), MemberNames({&TypeOfGoods}));
    m_goodsBarcode = AddField(this, grid, 6, 0, "Штрихкод товара:", QStringLiteral("goodsBarcode"),
                              QString(), MemberNames({&BarcodeOfGoogs}));
    const MemberList sale = {&Article,    &Price,       &Quantity,       &QuantityUnit,
                             &Department, &TypeOfGoods, &BarcodeOfGoogs, &ForcePrintSingleQuantity,
                             &Sale};
    const MemberList storno = {
        &Article,    &Price,       &Quantity,       &QuantityUnit,
        &Department, &TypeOfGoods, &BarcodeOfGoogs, &ForcePrintSingleQuantity,
        &Storno};
    AddButton(grid, 7, 0, FromAnsi("Продажа"), sale, [this](CCalls& calls) {
        SendLine(calls, Sale);
    })->setObjectName(QStringLiteral("sale"));
    AddButton(grid, 7, 1, FromAnsi("Сторно"), storno, [this](CCalls& calls) {
        SendLine(calls, Storno);
    })->setObjectName(QStringLiteral("storno"));
}

void CRegistrationTab::BuildCorrection(QGridLayout* grid) {
    m_correction = AddChoice(this, grid, 0, 0, "Вид:", QStringLiteral("correction"),
                             AnsiList({"Абс. скидка на чек.", "Абс. скидка на поз.",
                                       "Сторно абс. скидка на поз.", "Абс. надбавка на чек.",
                                       "Абс. надбавка на поз.", "Сторно абс. надбавки на поз."}));
    m_correctionAmount = AddField(this, grid, 1, 0, "Сумма:", QStringLiteral("correctionAmount"),
                                  QStringLiteral("0.50"), MemberNames({&CorrectionAmount}));
    m_correctionMnemo = AddField(this, grid, 2, 0, "Название:", QStringLiteral("correctionMnemo"),
                                 FromAnsi("Скидка"), MemberNames({&CorrectionMnemo}));
    AddButton(
        grid, 3, 0, FromAnsi("Выполнить"),
        {&CorrectionAmount, &CorrectionMnemo, &DiscountReceipt, &Discount, &StornoDiscount,
         &SurchargeReceipt, &Surcharge, &StornoSurcharge},
        [this](CCalls& calls) { Correct(calls); }, 2)
        ->setObjectName(QStringLiteral("correct"));
}

void CRegistrationTab::BuildTotals(QGridLayout* grid) {
    AddButton(grid, 0, 0, FromAnsi("Печать подытога"), {&PrintSubtotal}, [this](CCalls& calls) {
        calls.Call(PrintSubtotal);
        ShowTotals(calls);
    })->setObjectName(QStringLiteral("printSubtotal"));
    AddButton(grid, 0, 1, FromAnsi("Итог"), {&CompleteReceipt, &Subtotal}, [this](CCalls& calls) {
        calls.Call(CompleteReceipt);
        ShowTotals(calls);
    })->setObjectName(QStringLiteral("complete"));
    AddButton(grid, 1, 0, FromAnsi("Продолжить чек"), {&ContinueReceipt}, [this](CCalls& calls) {
        calls.Call(ContinueReceipt);
        ShowTotals(calls);
    })->setObjectName(QStringLiteral("continue"));
    AddButton(grid, 1, 1, FromAnsi("Закрыть чек"), {&CloseReceipt}, [this](CCalls& calls) {
        calls.Call(CloseReceipt);
        ShowTotals(calls);
    })->setObjectName(QStringLiteral("closeReceipt"));
    m_subtotal = AddResult(this, grid, 2, 0, "Подытог:", QStringLiteral("subtotal"),
                           MemberNames({&Subtotal}));
    m_debt = AddResult(this, grid, 3, 0, "Долг:", QStringLiteral("debt"), MemberNames({&Debt}));
    m_change =
        AddResult(this, grid, 4, 0, "Сдача:", QStringLiteral("change"), MemberNames({&Change}));
}

void CRegistrationTab::BuildPayment(QGridLayout* grid) {
    m_payment = AddChoice(this, grid, 0, 0, "Оплата:", QStringLiteral("payment"), QStringList());
    PaymentKinds();
    m_amount = AddField(this, grid, 1, 0, "Сумма:", QStringLiteral("amount"),
                        QStringLiteral("10.00"), MemberNames({&Amount}));
    m_noncashType = AddField(this, grid, 2, 0, "Вид безнала:", QStringLiteral("noncashType"),
                             QStringLiteral("1"), MemberNames({&NoncashType}));
    m_currency = AddChoice(this, grid, 3, 0, "Валюта:", QStringLiteral("currency"), QStringList(),
                           MemberNames({&AmountCurrency}));
    m_currency->setEditable(true);
    m_currencyRate = AddField(this, grid, 4, 0, "Курс:", QStringLiteral("currencyRate"),
                              QStringLiteral("1"), MemberNames({&AmountCurrencyRate}));
    AddButton(grid, 5, 0, FromAnsi("Оплатить"),
              {&Amount, &NoncashType, &AmountCurrency, &AmountCurrencyRate, &PayCash, &PayNoncash,
               &RepayCash, &RepayNoncash},
              [this](CCalls& calls) { Pay(calls); })
        ->setObjectName(QStringLiteral("pay"));
    AddButton(grid, 5, 1, FromAnsi("Валюты"), {&ReadCurrencyTable, &StringTableItems},
              [this](CCalls& calls) {
                  calls.Call(ReadCurrencyTable);
                  const QStringList codes = GetStrings(calls, StringTableItems);
                  if (calls.Ok()) {
                      m_currency->clear();
                      m_currency->addItem(QString());
                      m_currency->addItems(codes);
                  }
              })
        ->setObjectName(QStringLiteral("readCurrencies"));
    AddButton(grid, 6, 0, FromAnsi("Выдать сдачу"), {&GiveChange}, [this](CCalls& calls) {
        calls.Call(GiveChange);
        ShowTotals(calls);
    })->setObjectName(QStringLiteral("giveChange"));
    AddButton(grid, 6, 1, FromAnsi("Открыть ящик"), {&OpenCashDrawer}, [](CCalls& calls) {
        calls.Call(OpenCashDrawer);
    })->setObjectName(QStringLiteral("openDrawer"));
    const auto cash = [this](const DrvMember& method) {
        return [this, &method](CCalls& calls) {
            LONGLONG amount = 0;
            if (Money(calls, m_amount, &amount)) {
                calls.PutMoney(Amount, amount);
                calls.Call(method);
            }
        };
    };
    AddButton(grid, 7, 0, FromAnsi("Внесение"), {&Amount, &CashIncome}, cash(CashIncome))
        ->setObjectName(QStringLiteral("cashIncome"));
    AddButton(grid, 7, 1, FromAnsi("Выплата"), {&Amount, &CashOutcome}, cash(CashOutcome))
        ->setObjectName(QStringLiteral("cashOutcome"));
}

void CRegistrationTab::BuildTexts(QGridLayout* grid) {
    m_stringToPrint = AddField(this, grid, 0, 0, "Строка:", QStringLiteral("stringToPrint"),
                               FromAnsi("Первая строка текста"), MemberNames({&StringToPrint}));
    AddButton(grid, 0, 2, FromAnsi("Печать строки"), {&StringToPrint, &PrintLine},
              [this](CCalls& calls) {
                  calls.PutText(StringToPrint, m_stringToPrint->text());
                  calls.Call(PrintLine);
              })
        ->setObjectName(QStringLiteral("printLine"));
    m_textToPrint = AddField(this, grid, 1, 0, "Текст:", QStringLiteral("textToPrint"),
                             FromAnsi("Тестовая строка для печати"), MemberNames({&TextToPrint}));
    const auto text = [this](const DrvMember& method) {
        return [this, &method](CCalls& calls) {
            calls.PutText(TextToPrint, m_textToPrint->text());
            calls.Call(method);
        };
    };
    AddButton(grid, 1, 2, FromAnsi("Печать текста"), {&TextToPrint, &PrintText}, text(PrintText))
        ->setObjectName(QStringLiteral("printText"));
    AddButton(grid, 2, 0, FromAnsi("Двойная ширина"), {&TextToPrint, &PrintTextDoubleWidth},
              text(PrintTextDoubleWidth));
    AddButton(grid, 2, 1, FromAnsi("Двойная высота"), {&TextToPrint, &PrintTextDoubleHeight},
              text(PrintTextDoubleHeight));
    AddButton(grid, 2, 2, FromAnsi("Двойной размер"),
              {&TextToPrint, &PrintTextDoubleWidthAndHeight}, text(PrintTextDoubleWidthAndHeight));
}

void CRegistrationTab::BuildBarcode(QGridLayout* grid) {
    m_barcodeType =
        AddChoice(this, grid, 0, 0, "Тип:", QStringLiteral("barcodeType"),
                  AnsiList({"1 – UPC-A", "2 – UPC-E", "3 – EAN13", "4 – EAN8", "5 – CODE39",
                            "6 – IFT", "7 – CODEABAR", "8 – CODE93", "9 – CODE128", "10 – QRCODE"}),
                  MemberNames({&BarcodeType}));
    m_barcodeType->setCurrentIndex(2);
    m_barcode = AddField(this, grid, 1, 0, "Данные:", QStringLiteral("barcode"),
                         QStringLiteral("4810000000017"), MemberNames({&BarcodeToPrint}));
    AddButton(grid, 2, 0, FromAnsi("Печать штрихкода"),
              {&BarcodeType, &BarcodeToPrint, &PrintBarcode},
              [this](CCalls& calls) {
                  calls.PutNumber(BarcodeType, m_barcodeType->currentIndex() + 1);
                  calls.PutText(BarcodeToPrint, m_barcode->text());
                  calls.Call(PrintBarcode);
              })
        ->setObjectName(QStringLiteral("printBarcode"));
    AddButton(grid, 2, 1, FromAnsi("Печать QR-кода"), {&BarcodeToPrint, &PrintQRCodeH},
              [this](CCalls& calls) {
                  calls.PutText(BarcodeToPrint, m_barcode->text());
                  calls.Call(PrintQRCodeH);
              })
        ->setObjectName(QStringLiteral("printQr"));
}

void CRegistrationTab::BuildDocument(QGridLayout* grid) {
    AddButton(
        grid, 0, 0, FromAnsi("Номер документа"),
        {&ReadDocumentNumber, &DocumentNumber, &SessionNumber, &ElectronicJournalReadOffset,
         &ElectronicJournalReadSize},
        [this](CCalls& calls) {
            calls.Call(ReadDocumentNumber);
            VARIANT number;
            calls.Get(DocumentNumber, &number);
            const LONG session = calls.GetNumber(SessionNumber);
            VARIANT offset;
            calls.Get(ElectronicJournalReadOffset, &offset);
            VARIANT size;
            calls.Get(ElectronicJournalReadSize, &size);
            if (calls.Ok()) {
                m_documentNumber->setText(QString::number(number.ulVal));
                m_sessionNumber->setText(QString::number(session));
                m_journalOffset->setText(QString::number(offset.ulVal));
                m_journalSize->setText(QString::number(size.ulVal));
            }
        },
        2)
        ->setObjectName(QStringLiteral("readDocumentNumber"));
    m_documentNumber = AddResult(this, grid, 1, 0, "Документ:", QStringLiteral("documentNumber"),
                                 MemberNames({&DocumentNumber}));
    m_sessionNumber = AddResult(this, grid, 2, 0, "Смена:", QStringLiteral("sessionNumber"),
                                MemberNames({&SessionNumber}));
    m_journalOffset = AddResult(this, grid, 3, 0, "Смещение в EJ:", QStringLiteral("journalOffset"),
                                MemberNames({&ElectronicJournalReadOffset}));
    m_journalSize = AddResult(this, grid, 4, 0, "Размер в EJ:", QStringLiteral("journalSize"),
                              MemberNames({&ElectronicJournalReadSize}));

    m_cancellationNumber =
        AddField(this, grid, 5, 0, "Аннулир. документ:", QStringLiteral("cancellationNumber"),
                 QStringLiteral("0"), MemberNames({&CancellationDocumentNumber}));
    m_cancellationAmount =
        AddField(this, grid, 6, 0, "Аннулир. сумма:", QStringLiteral("cancellationAmount"),
                 QStringLiteral("0.00"), MemberNames({&CancellationAmount}));
    m_cancellationMnemo =
        AddField(this, grid, 7, 0, "Основание:", QStringLiteral("cancellationMnemo"), QString(),
                 MemberNames({&CancellationMnemo}));
    AddButton(
        grid, 8, 0, FromAnsi("Задать аннулирование"),
        {&CancellationDocumentNumber, &CancellationAmount, &CancellationMnemo},
        [this](CCalls& calls) {
            LONG number = 0;
            LONGLONG amount = 0;
            if (Number(calls, m_cancellationNumber, 0, 0x7FFFFFFF, &number) &&
                Money(calls, m_cancellationAmount, &amount)) {
                calls.PutNumber(CancellationDocumentNumber, number);
                calls.PutMoney(CancellationAmount, amount);
                calls.PutText(CancellationMnemo, m_cancellationMnemo->text());
            }
        },
        2);

    m_restaurantAmount =
        AddField(this, grid, 9, 0, "Сумма заказа:", QStringLiteral("restaurantAmount"),
                 QStringLiteral("0.00"), MemberNames({&RestaurantAmount}));
    m_restaurantOrder = AddField(this, grid, 10, 0, "Заказ:", QStringLiteral("restaurantOrder"),
                                 QString(), MemberNames({&RestaurantOrder}));
    m_restaurantReservations =
        AddField(this, grid, 11, 0, "Бронь:", QStringLiteral("restaurantReservations"), QString(),
                 MemberNames({&RestaurantReservations}));
    m_restaurantAccommodation =
        AddField(this, grid, 12, 0, "Размещение:", QStringLiteral("restaurantAccommodation"),
                 QString(), MemberNames({&RestaurantAccommodation}));
    AddButton(
        grid, 13, 0, FromAnsi("Задать заказ"),
        {&RestaurantAmount, &RestaurantOrder, &RestaurantReservations, &RestaurantAccommodation},
        [this](CCalls& calls) {
            LONGLONG amount = 0;
            if (Money(calls, m_restaurantAmount, &amount)) {
                calls.PutMoney(RestaurantAmount, amount);
                calls.PutText(RestaurantOrder, m_restaurantOrder->text());
                calls.PutText(RestaurantReservations, m_restaurantReservations->text());
                calls.PutText(RestaurantAccommodation, m_restaurantAccommodation->text());
            }
        },
        2);
    grid->setRowStretch(14, 1);
}

void CRegistrationTab::SendLine(CCalls& calls, const DrvMember& method) {
    LONGLONG price = 0;
    LONGLONG quantity = 0;
    LONG department = 0;
    LONG typeOfGoods = 0;
    if (!Money(calls, m_price, &price) || !Money(calls, m_quantity, &quantity) ||
        !Number(calls, m_department, 0, 0xFFFF, &department) ||
        !Number(calls, m_typeOfGoods, 0, 0xFFFF, &typeOfGoods)) {
        return;
    }
    calls.PutText(Article, m_article->text());
    calls.PutMoney(Price, price);
    calls.PutMoney(Quantity, quantity);
    calls.PutText(QuantityUnit, m_unit->currentText());
    calls.PutNumber(Department, department);
    calls.PutNumber(TypeOfGoods, typeOfGoods);
    calls.PutText(BarcodeOfGoogs, m_goodsBarcode->text());
    calls.PutNumber(ForcePrintSingleQuantity, m_singleQuantity->isChecked() ? 1 : 0);
    calls.Call(method);
    ShowTotals(calls);
}

void CRegistrationTab::Correct(CCalls& calls) {
    LONGLONG amount = 0;
    if (!Money(calls, m_correctionAmount, &amount)) {
        return;
    }
    calls.PutMoney(CorrectionAmount, amount);
    calls.PutText(CorrectionMnemo, m_correctionMnemo->text());
    calls.Call(*kCorrections[m_correction->currentIndex()]);
    ShowTotals(calls);
}

void CRegistrationTab::Pay(CCalls& calls) {
    LONGLONG amount = 0;
    LONGLONG rate = 0;
    LONG noncashType = 0;
    if (!Money(calls, m_amount, &amount) || !Money(calls, m_currencyRate, &rate) ||
        !Number(calls, m_noncashType, 0, 0xFFFF, &noncashType)) {
        return;
    }
    const bool refund = m_receiptType->currentIndex() == kRefundReceipt;
    const bool cash = m_payment->currentIndex() == 0;
    calls.PutMoney(Amount, amount);
    calls.PutText(AmountCurrency, m_currency->currentText());
    calls.PutMoney(AmountCurrencyRate, rate);
    if (!cash) {
        calls.PutNumber(NoncashType, noncashType);
    }
    calls.Call(refund ? (cash ? RepayCash : RepayNoncash) : (cash ? PayCash : PayNoncash));
    ShowTotals(calls);
}

void CRegistrationTab::ShowTotals(CCalls& calls) {
    const LONGLONG subtotal = calls.GetMoney(Subtotal);
    const LONGLONG debt = calls.GetMoney(Debt);
    const LONGLONG change = calls.GetMoney(Change);
    if (calls.Ok() && !calls.Driver().Deferred()) {
        m_subtotal->setText(FormatMoney(subtotal));
        m_debt->setText(FormatMoney(debt));
        m_change->setText(FormatMoney(change));
    }
}

void CRegistrationTab::PaymentKinds() {
    if (!m_payment) {
        return;
    }
    m_payment->clear();
    m_payment->addItems(m_receiptType->currentIndex() == kRefundReceipt
                            ? AnsiList({"Выплата нал.", "Выплата безнал."})
                            : AnsiList({"Оплата нал.", "Оплата безнал."}));
}

void CRegistrationTab::ControlTapeToggled(bool on) {
    if (!Driver()) {
        return;
    }
    if (!on) {
        Act([](CCalls& calls) { calls.PutNumber(ForcePrintControlTapeOnly, 0); });
        return;
    }
    // It means something only for the receipt that is open.
    LONG receiptOpen = 0;
    Driver()->GetNumber(StateReceiptOpen, &receiptOpen);
    if (receiptOpen == 0) {
        const QSignalBlocker quiet(m_controlTape);
        m_controlTape->setChecked(false);
        ShowMessage(this, FromAnsi("Выполните открытие чека"));
        return;
    }
    Act([](CCalls& calls) { calls.PutNumber(ForcePrintControlTapeOnly, 1); });
}

void CRegistrationTab::DeferredToggled(bool on) {
    CDrvKeltor* driver = Driver();
    if (!driver) {
        return;
    }
    if (on) {
        driver->SetDeferred(true);
        return;
    }
    // Cleared: the receipt's calls go to the printer together, now.
    Act([driver](CCalls& calls) { calls.Step(driver->SetDeferred(false)); });
}
