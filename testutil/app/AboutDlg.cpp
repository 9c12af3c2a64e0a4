#include "AboutDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "AnsiText.h"
#include "DrvKeltortestDlg.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(FromAnsi("О программе DrvKeltortest"));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(FromAnsi("DrvKeltortest, версия ") + ProductVersion(), this);
    name->setObjectName(QStringLiteral("aboutVersion"));
    layout->addWidget(name);
    layout->addWidget(new QLabel(FromAnsi("Тест драйвера фискального принтера"), this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}
