#include "EditableList.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include "AnsiText.h"

CEditableList::CEditableList(QWidget* parent, const QString& name, std::vector<ListColumn> columns,
                             int maxRows)
    : QWidget(parent),
      m_columns(std::move(columns)),
      m_maxRows(maxRows),
      m_table(new QTableWidget(0, static_cast<int>(m_columns.size()), this)) {
    setObjectName(name);
    m_table->setObjectName(name + QStringLiteral("Table"));
    QStringList headers;
    for (const ListColumn& column : m_columns) {
        headers << column.header;
    }
    m_table->setHorizontalHeaderLabels(headers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setMinimumHeight(150);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table, 0, 0, 1, 4);
    const struct {
        const char* text;
        const char* name;
        std::function<void()> action;
    } buttons[] = {{"Добавить", "add", [this] { AddRow(); }},
                   {"Вверх", "up", [this] { MoveRow(-1); }},
                   {"Вниз", "down", [this] { MoveRow(1); }},
                   {"Удалить", "delete", [this] { DeleteRow(); }}};
    int column = 0;
    for (const auto& entry : buttons) {
        auto* button = new QPushButton(FromAnsi(entry.text), this);
        button->setObjectName(QString::fromLatin1(entry.name));
        connect(button, &QPushButton::clicked, this, entry.action);
        layout->addWidget(button, 1, column++);
    }
}

ListRows CEditableList::Rows() const {
    ListRows rows;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < m_table->columnCount(); ++column) {
            if (auto* choice = qobject_cast<QComboBox*>(m_table->cellWidget(row, column))) {
                cells << choice->currentText();
            } else {
                const QTableWidgetItem* item = m_table->item(row, column);
                cells << (item ? item->text() : QString());
            }
        }
        rows.push_back(cells);
    }
    return rows;
}

void CEditableList::SetRows(const ListRows& rows) {
    m_table->setRowCount(0);
    m_table->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        for (int column = 0; column < static_cast<int>(m_columns.size()); ++column) {
            const ListColumn& spec = m_columns[static_cast<size_t>(column)];
            const QString text = column < rows[static_cast<size_t>(row)].size()
                                     ? rows[static_cast<size_t>(row)][column]
                                     : QString();
            if (!spec.choices.isEmpty()) {
                auto* choice = new QComboBox(m_table);
                choice->addItems(spec.choices);
                choice->setCurrentIndex(std::max(0, static_cast<int>(spec.choices.indexOf(text))));
                m_table->setCellWidget(row, column, choice);
                continue;
            }
            auto* item = new QTableWidgetItem(text);
            if (!spec.editable) {
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            }
            m_table->setItem(row, column, item);
        }
    }
}

int CEditableList::CurrentRow() const {
    return m_table->currentRow();
}

void CEditableList::SetCurrentRow(int row) {
    if (row >= 0 && row < m_table->rowCount()) {
        m_table->setCurrentCell(row, 0);
    }
}

void CEditableList::Change(const std::function<void(ListRows&, int& current)>& edit) {
    ListRows rows = Rows();
    int current = CurrentRow();
    edit(rows, current);
    if (settle) {
        settle(rows);
    }
    SetRows(rows);
    SetCurrentRow(current);
}

void CEditableList::AddRow() {
    if (m_table->rowCount() >= m_maxRows || !newRow) {
        return;
    }
    Change([this](ListRows& rows, int& current) {
        const size_t at = current >= 0 ? static_cast<size_t>(current) + 1 : rows.size();
        rows.insert(rows.begin() + static_cast<long>(at), newRow(rows));
        current = static_cast<int>(at);
    });
}

void CEditableList::MoveRow(int by) {
    const int from = CurrentRow();
    const int to = from + by;
    if (from < 0 || to < 0 || to >= m_table->rowCount()) {
        return;
    }
    Change([from, to](ListRows& rows, int& current) {
        std::swap(rows[static_cast<size_t>(from)], rows[static_cast<size_t>(to)]);
        current = to;
    });
}

void CEditableList::DeleteRow() {
    const int at = CurrentRow();
    if (at < 0) {
        return;
    }
    Change([at](ListRows& rows, int& current) {
        rows.erase(rows.begin() + at);
        current = std::min(at, static_cast<int>(rows.size()) - 1);
    });
}
