// zembra: the desktop application.
//   zembra [FILE]                       opens the main window, analysing FILE at once
//   zembra --screenshots DIR FILE       analyses FILE, writes PNGs of the three windows
//   zembra --quit-after-run FILE        analyses FILE in the window and ends (timing)
#include <QApplication>
#include <QDir>

#include "ui/main_window.h"

namespace {

void SaveScreenshots(TForm1& form, const QString& folder) {
    QDir().mkpath(folder);
    form.GOPbtnClick();
    form.BitrateBtnClick();
    QApplication::processEvents();
    form.grab().save(folder + "/zembra-main.png");
    form.GopForm().grab().save(folder + "/zembra-gops.png");
    form.BitRateForm().grab().save(folder + "/zembra-bitrate.png");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zembra");
    QStringList args = QApplication::arguments().mid(1);
    QString screenshots;
    bool quitAfterRun = false;
    if (args.size() >= 3 && args[0] == "--screenshots") {
        screenshots = args[1];
        args = args.mid(2);
    } else if (!args.isEmpty() && args[0] == "--quit-after-run") {
        quitAfterRun = true;
        args = args.mid(1);
    }
    TForm1 form;
    form.show();
    if (!args.isEmpty()) form.OpenFile(args.first());
    if (!screenshots.isEmpty()) SaveScreenshots(form, screenshots);
    if (!screenshots.isEmpty() || quitAfterRun) return 0;
    return QApplication::exec();
}
