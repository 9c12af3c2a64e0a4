// Small pieces the pages are built of: labelled fields, choice lists, money and quantity texts,
// and the table arrays of the driver.
#pragma once

#include <windows.h>

#include <QString>
#include <QStringList>
#include <vector>

#include "Calls.h"
#include "MoneyText.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

// Windows-1251 texts of the pages as QStrings.
QStringList AnsiList(std::initializer_list<const char*> texts);

// A text field named `name` (for the tests and the settings), with its label in column `column`
// and the field beside it.
QLineEdit* AddField(QWidget* page, QGridLayout* grid, int row, int column, const char* label,
                    const QString& name, const QString& text = QString(),
                    const QString& tooltip = QString());
QComboBox* AddChoice(QWidget* page, QGridLayout* grid, int row, int column, const char* label,
                     const QString& name, const QStringList& entries,
                     const QString& tooltip = QString());
QCheckBox* AddCheck(QWidget* page, QGridLayout* grid, int row, int column, const char* label,
                    const QString& name, const QString& tooltip = QString());
// A read-only field that shows a result.
QLineEdit* AddResult(QWidget* page, QGridLayout* grid, int row, int column, const char* label,
                     const QString& name, const QString& tooltip = QString());

// The driver's parallel table arrays.
void PutStrings(CCalls& calls, const DrvMember& property, const QStringList& texts);
void PutUnsigned(CCalls& calls, const DrvMember& property, const std::vector<USHORT>& numbers);
QStringList GetStrings(CCalls& calls, const DrvMember& property);
std::vector<USHORT> GetUnsigned(CCalls& calls, const DrvMember& property);
