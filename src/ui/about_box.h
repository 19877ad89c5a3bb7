// The about box, TAboutBox: the product's name and the running version.
#pragma once

#include <QDialog>

class QLabel;

class TAboutBox : public QDialog {
    Q_OBJECT

  public:
    TAboutBox();
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
};
