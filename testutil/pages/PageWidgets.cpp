#include "PageWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "AnsiText.h"

QStringList AnsiList(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts) {
        list << FromAnsi(text);
    }
    return list;
}

namespace {

void Place(QWidget* page, QGridLayout* grid, int row, int column, const char* label, QWidget* field,
           const QString& name, const QString& tooltip) {
    field->setObjectName(name);
    field->setMinimumWidth(120);
    if (!tooltip.isEmpty()) {
        field->setToolTip(tooltip);
    }
    if (label) {
        field->setAccessibleName(FromAnsi(label));
        grid->addWidget(new QLabel(FromAnsi(label), page), row, column);
    }
    grid->addWidget(field, row, column + 1);
}

}  // namespace

QLineEdit* AddField(QWidget* page, QGridLayout* grid, int row, int column, const char* label,
                    const QString& name, const QString& text, const QString& tooltip) {
    auto* field = new QLineEdit(text, page);
    Place(page, grid, row, column, label, field, name, tooltip);
    return field;
}

QComboBox* AddChoice(QWidget* page, QGridLayout* grid, int row, int column, const char* label,
                     const QString& name, const QStringList& entries, const QString& tooltip) {
    auto* choice = new QComboBox(page);
    choice->addItems(entries);
    Place(page, grid, row, column, label, choice, name, tooltip);
    return choice;
}

QCheckBox* AddCheck(QWidget* page, QGridLayout* grid, int row, int column, const char* label,
                    const QString& name, const QString& tooltip) {
    auto* check = new QCheckBox(FromAnsi(label), page);
    check->setObjectName(name);
    if (!tooltip.isEmpty()) {
        check->setToolTip(tooltip);
    }
    grid->addWidget(check, row, column, 1, 2);
    return check;
}

QLineEdit* AddResult(QWidget* page, QGridLayout* grid, int row, int column, const char* label,
                     const QString& name, const QString& tooltip) {
    QLineEdit* field = AddField(page, grid, row, column, label, name, QString(), tooltip);
    field->setReadOnly(true);
    return field;
}

namespace {

// An array variant handed to a put; the variant owns the array.
class CArrayValue {
  public:
    CArrayValue(VARTYPE type, size_t count) {
        VariantInit(&m_value);
        SAFEARRAY* array = SafeArrayCreateVector(type, 0, static_cast<ULONG>(count));
        if (array) {
            m_value.vt = static_cast<VARTYPE>(VT_ARRAY | type);
            m_value.parray = array;
        }
    }
    ~CArrayValue() { VariantClear(&m_value); }
    CArrayValue(const CArrayValue&) = delete;
    CArrayValue& operator=(const CArrayValue&) = delete;
    SAFEARRAY* Array() const { return m_value.parray; }
    const VARIANT& Value() const { return m_value; }

  private:
    VARIANT m_value;
};

}  // namespace

void PutStrings(CCalls& calls, const DrvMember& property, const QStringList& texts) {
    CArrayValue value(VT_BSTR, static_cast<size_t>(texts.size()));
    if (!calls.Step(value.Array() ? S_OK : E_OUTOFMEMORY)) {
        return;
    }
    for (LONG i = 0; i < texts.size(); ++i) {
        BSTR text = ToBstr(texts[i]);
        const HRESULT hr = text ? SafeArrayPutElement(value.Array(), &i, text) : E_OUTOFMEMORY;
        SysFreeString(text);
        if (!calls.Step(hr)) {
            return;
        }
    }
    calls.Put(property, value.Value());
}

void PutUnsigned(CCalls& calls, const DrvMember& property, const std::vector<USHORT>& numbers) {
    CArrayValue value(VT_UI2, numbers.size());
    if (!calls.Step(value.Array() ? S_OK : E_OUTOFMEMORY)) {
        return;
    }
    for (LONG i = 0; i < static_cast<LONG>(numbers.size()); ++i) {
        USHORT number = numbers[static_cast<size_t>(i)];
        if (!calls.Step(SafeArrayPutElement(value.Array(), &i, &number))) {
            return;
        }
    }
    calls.Put(property, value.Value());
}

namespace {

// The elements of an array get, each through `take`; nothing for an empty (deferred) get.
template <class Take>
void ForEachElement(CCalls& calls, const DrvMember& property, VARTYPE type, Take take) {
    VARIANT value;
    calls.Get(property, &value);
    if (calls.Ok() && value.vt == (VT_ARRAY | type) && value.parray) {
        LONG lower = 0;
        LONG upper = -1;
        SafeArrayGetLBound(value.parray, 1, &lower);
        SafeArrayGetUBound(value.parray, 1, &upper);
        for (LONG i = lower; i <= upper; ++i) {
            take(value.parray, i);
        }
    }
    VariantClear(&value);
}

}  // namespace

QStringList GetStrings(CCalls& calls, const DrvMember& property) {
    QStringList texts;
    ForEachElement(calls, property, VT_BSTR, [&texts](SAFEARRAY* array, LONG i) {
        BSTR text = nullptr;
        SafeArrayGetElement(array, &i, &text);
        texts << FromBstr(text);
        SysFreeString(text);
    });
    return texts;
}

std::vector<USHORT> GetUnsigned(CCalls& calls, const DrvMember& property) {
    std::vector<USHORT> numbers;
    ForEachElement(calls, property, VT_UI2, [&numbers](SAFEARRAY* array, LONG i) {
        USHORT number = 0;
        SafeArrayGetElement(array, &i, &number);
        numbers.push_back(number);
    });
    return numbers;
}
