// CSalesAutoTest: the parameters of the automatic sales test (days, receipts, sales, the
// article with its presets, the text to print).
#pragma once

#include <QDialog>

#include "SalesTest.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

class CSalesAutoTest : public QDialog {
  public:
    explicit CSalesAutoTest(QWidget* parent);

    // The parameters as the fields give them; false, after naming the field, when one does not
    // parse or is out of its range.
    bool Parameters(salestest::SalesTestParameters* parameters);
    void accept() override;

  private:
    void UsePreset(int index);

    QSpinBox* m_days;
    QSpinBox* m_receipts;
    QSpinBox* m_sales;
    QComboBox* m_article;
    QLineEdit* m_price;
    QLineEdit* m_quantity;
    QLineEdit* m_unit;
    QCheckBox* m_printText;
    QLineEdit* m_text;
};
