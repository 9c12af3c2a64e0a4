// A list of table rows that a person edits in place, with buttons to add, move and delete rows.
#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

class QTableWidget;

struct ListColumn {
    QString header;
    bool editable = true;
    QStringList choices;  // not empty: the cell is a choice of these
};

using ListRows = std::vector<QStringList>;

class CEditableList : public QWidget {
  public:
    CEditableList(QWidget* parent, const QString& name, std::vector<ListColumn> columns,
                  int maxRows);

    ListRows Rows() const;
    void SetRows(const ListRows& rows);
    QTableWidget* Table() const { return m_table; }
    int CurrentRow() const;
    void SetCurrentRow(int row);

    // The cells of a new row (from the rows there are), and what every change does to the rows
    // afterwards (numbering them, say).
    std::function<QStringList(const ListRows&)> newRow;
    std::function<void(ListRows&)> settle;

    void AddRow();
    void MoveRow(int by);  // -1 up, +1 down
    void DeleteRow();

  private:
    void Change(const std::function<void(ListRows&, int& current)>& edit);

    std::vector<ListColumn> m_columns;
    int m_maxRows;
    QTableWidget* m_table;
};
