// zembra: the desktop application.
#include <QApplication>

#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zembra");
    TForm1 form;
    form.show();
    if (argc > 1) form.OpenFile(QString::fromLocal8Bit(argv[1]));
    return QApplication::exec();
}
