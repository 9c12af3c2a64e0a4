// Message boxes of the utility: the exclamation icon, the program's name as the title.
#pragma once

#include <QString>

class QWidget;

void ShowMessage(QWidget* parent, const QString& text);
// Yes or No; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);
