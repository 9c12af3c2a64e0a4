// The about box: the program's name and its product version.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
  public:
    explicit CAboutDlg(QWidget* parent);
};
