// About box.
#include "ui/about_box.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "ui/window_placement.h"

TAboutBox::TAboutBox() : QDialog(nullptr, CloseBoxOnly(Qt::Dialog)) {
    setWindowTitle("About Zembra");
    setFixedSize(298, 213);
    QFont font = this->font();
    font.setPixelSize(11);
    setFont(font);
    auto* panel1 = new QFrame(this);
    panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel1->setGeometry(8, 8, 281, 161);
    auto* icon = new QLabel(panel1);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MediaPlay).pixmap(73, 73));
    icon->setScaledContents(true);
    icon->setGeometry(8, 8, 73, 73);
    ProductName = new QLabel("Zembra", panel1);
    ProductName->move(88, 16);
    Version = new QLabel(panel1);
    Version->setGeometry(88, 40, 185, 16);
    auto* copyright = new QLabel("Checks MPEG-2 program streams for broadcast.", panel1);
    copyright->move(8, 88);
    auto* author = new QLabel("Written by the Zembra team.", panel1);
    author->move(8, 112);
    auto* email = new QLabel("Contact: the Zembra project's issue tracker.", panel1);
    email->move(8, 128);
    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(111, 180, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
