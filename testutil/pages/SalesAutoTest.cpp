#include "SalesAutoTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include "AnsiText.h"
#include "Messages.h"
#include "MoneyText.h"

namespace {

QSpinBox* Counter(QWidget* parent, const char* name, int minimum, int maximum, int value) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(minimum, maximum);
    box->setValue(value);
    return box;
}

}  // namespace

CSalesAutoTest::CSalesAutoTest(QWidget* parent)
    : QDialog(parent),
      m_days(
          Counter(this, "days", salestest::kMinDays, salestest::kMaxDays, salestest::kDefaultDays)),
      m_receipts(Counter(this, "receipts", salestest::kMinReceipts, salestest::kMaxReceipts,
                         salestest::kDefaultReceipts)),
      m_sales(Counter(this, "sales", salestest::kMinSales, salestest::kMaxSales,
                      salestest::kDefaultSales)),
      m_article(new QComboBox(this)),
      m_price(new QLineEdit(this)),
      m_quantity(new QLineEdit(this)),
      m_unit(new QLineEdit(this)),
      m_printText(new QCheckBox(FromAnsi("Печатать текст"), this)),
      m_text(new QLineEdit(FromAnsi("Тестовая строка для печати"), this)) {
    setObjectName(QStringLiteral("salesAutoTest"));
    setWindowTitle(FromAnsi("Автоматический тест продаж"));
    m_article->setObjectName(QStringLiteral("article"));
    m_article->setEditable(true);
    for (const salestest::ArticlePreset& preset : salestest::kArticlePresets) {
        m_article->addItem(QString::fromUtf16(preset.name));
    }
    m_price->setObjectName(QStringLiteral("price"));
    m_quantity->setObjectName(QStringLiteral("quantity"));
    m_unit->setObjectName(QStringLiteral("unit"));
    m_printText->setObjectName(QStringLiteral("printText"));
    m_text->setObjectName(QStringLiteral("text"));
    m_text->setEnabled(false);

    auto* grid = new QGridLayout(this);
    const struct {
        const char* label;
        QWidget* field;
    } rows[] = {{"Дней:", m_days},           {"Чеков в день:", m_receipts},
                {"Продаж в чеке:", m_sales}, {"Товар:", m_article},
                {"Цена:", m_price},          {"Количество:", m_quantity},
                {"Единица:", m_unit}};
    int row = 0;
    for (const auto& entry : rows) {
        grid->addWidget(new QLabel(FromAnsi(entry.label), this), row, 0);
        grid->addWidget(entry.field, row++, 1);
    }
    grid->addWidget(m_printText, row++, 0, 1, 2);
    grid->addWidget(m_text, row++, 0, 1, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(buttons, row, 0, 1, 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSalesAutoTest::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_printText, &QCheckBox::toggled, m_text, &QWidget::setEnabled);
    connect(m_article, &QComboBox::activated, this, [this](int index) { UsePreset(index); });
    UsePreset(0);
}

void CSalesAutoTest::UsePreset(int index) {
    if (index < 0 || index >= salestest::kArticlePresetCount) {
        return;
    }
    const salestest::ArticlePreset& preset = salestest::kArticlePresets[index];
    m_price->setText(FormatMoney(preset.price));
    m_quantity->setText(FormatMoney(preset.quantity));
    m_unit->setText(QString::fromUtf16(preset.unit));
}

bool CSalesAutoTest::Parameters(salestest::SalesTestParameters* parameters) {
    salestest::SalesTestParameters p;
    p.days = m_days->value();
    p.receiptsPerDay = m_receipts->value();
    p.salesPerReceipt = m_sales->value();
    p.article = ToWide(m_article->currentText());
    p.unit = ToWide(m_unit->text());
    p.printText = m_printText->isChecked();
    p.textToPrint = ToWide(m_text->text());
    if (!ParseMoney(m_price->text(), &p.price) || p.price < 0) {
        ShowMessage(this, FromAnsi("Неверное значение: Цена"));
        m_price->setFocus();
        return false;
    }
    if (!ParseMoney(m_quantity->text(), &p.quantity) || p.quantity <= 0) {
        ShowMessage(this, FromAnsi("Неверное значение: Количество"));
        m_quantity->setFocus();
        return false;
    }
    if (p.article.empty() || (p.printText && p.textToPrint.empty())) {
        ShowMessage(this, FromAnsi(p.article.empty() ? "Неверное значение: Товар"
                                                     : "Неверное значение: Текст"));
        return false;
    }
    *parameters = p;
    return true;
}

void CSalesAutoTest::accept() {
    salestest::SalesTestParameters parameters;
    if (Parameters(&parameters)) {
        QDialog::accept();
    }
}
