#include "TabPage.h"

#include <cstdio>

#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

#include "AnsiText.h"
#include "Messages.h"
#include "MoneyText.h"

CTabPage::CTabPage(const QString& title, CTabPage* parentPage, CPageContext& context)
    : m_title(title), m_parentPage(parentPage), m_context(context), m_grid(new QGridLayout(this)) {
    setObjectName(title);
}

void CTabPage::EnsureCreated() {
    if (m_created) {
        return;
    }
    m_created = true;
    Build();
}

QString CTabPage::MemberNames(MemberList members) {
    QStringList names;
    for (const DrvMember* member : members) {
        names << QString::fromLatin1(member->name);
    }
    return names.join(QStringLiteral(" | "));
}

void CTabPage::ReportFailure(HRESULT hr) {
    if (SUCCEEDED(hr) || !m_context.driver) {
        return;
    }
    QString text;
    if (hr == DISP_E_EXCEPTION) {
        text = m_context.driver->ResultCodeDescription();
    }
    if (text.isEmpty()) {
        char fallback[64];  // "Ошибка вызова драйвера (0x%08X)"
        std::snprintf(fallback, sizeof fallback, "Ошибка вызова драйвера (0x%08X)",
                      static_cast<unsigned>(hr));
        text = FromAnsi(fallback);
    }
    ShowMessage(this, text);
}

bool CTabPage::Act(const std::function<void(CCalls&)>& body) {
    if (!m_context.driver || !Validate()) {
        return false;
    }
    CCalls calls(*m_context.driver);
    body(calls);
    if (!calls.Refused()) {
        ReportFailure(calls.Result());
    }
    if (m_context.refresh) {
        m_context.refresh();
    }
    return calls.Ok();
}

QPushButton* CTabPage::AddButton(int row, int column, const QString& text, MemberList members,
                                 std::function<void(CCalls&)> body, int columnSpan) {
    return AddButton(m_grid, row, column, text, members, std::move(body), columnSpan);
}

QPushButton* CTabPage::AddButton(QGridLayout* grid, int row, int column, const QString& text,
                                 MemberList members, std::function<void(CCalls&)> body,
                                 int columnSpan) {
    auto* button = new QPushButton(text, this);
    button->setToolTip(MemberNames(members));
    grid->addWidget(button, row, column, 1, columnSpan);
    connect(button, &QPushButton::clicked, this, [this, body = std::move(body)] { Act(body); });
    return button;
}

void CTabPage::RefuseField(CCalls& calls, const QLineEdit* field) {
    QString name = field->accessibleName();
    name.remove(QLatin1Char(':'));
    ShowMessage(this, FromAnsi("Неверное значение: ") + name.trimmed());
    const_cast<QLineEdit*>(field)->setFocus();
    calls.Refuse();
}

bool CTabPage::Money(CCalls& calls, const QLineEdit* field, LONGLONG* value) {
    if (!calls.Ok()) {
        return false;
    }
    if (ParseMoney(field->text(), value)) {
        return true;
    }
    RefuseField(calls, field);
    return false;
}

bool CTabPage::Number(CCalls& calls, const QLineEdit* field, LONG minimum, LONG maximum,
                      LONG* value) {
    if (!calls.Ok()) {
        return false;
    }
    bool ok = false;
    const long long number = field->text().trimmed().toLongLong(&ok);
    if (ok && number >= minimum && number <= maximum) {
        *value = static_cast<LONG>(number);
        return true;
    }
    RefuseField(calls, field);
    return false;
}
