// zembra: the desktop application.
//   zembra [FILE]                       opens the main window, analysing FILE at once
//   zembra --screenshots DIR FILE       analyses FILE, writes PNGs of the three windows, and
//                                       of the main window at its smallest and a large
//                                       size and the graph windows made tall; at a scale
//                                       factor above 1 only the three, named "-2x"
//   zembra --quit-after-run FILE        analyses FILE in the window and ends (timing)
#include <QApplication>
#include <QDir>

#include "ui/main_window.h"

namespace {

void Save(QWidget& window, const QString& path) {
    QApplication::processEvents();
    window.grab().save(path);
}

void SaveScreenshots(TForm1& form, const QString& folder) {
    QDir().mkpath(folder);
    form.GOPbtnClick();
    form.BitrateBtnClick();
    QString suffix = qApp->devicePixelRatio() > 1 ? "-2x" : "";
    Save(form, folder + "/zembra-main" + suffix + ".png");
    Save(form.GopForm(), folder + "/zembra-gops" + suffix + ".png");
    Save(form.BitRateForm(), folder + "/zembra-bitrate" + suffix + ".png");
    if (!suffix.isEmpty()) return;
    constexpr int kTall = 800;
    const struct {
        QWidget* window;
        QSize size;
        const char* name;
    } resized[] = {
        {&form, form.minimumSize(), "zembra-main-smallest"},
        {&form, QSize(1100, 800), "zembra-main-large"},
        {&form.GopForm(), QSize(form.GopForm().width(), kTall), "zembra-gops-tall"},
        {&form.BitRateForm(), QSize(form.BitRateForm().width(), kTall), "zembra-bitrate-tall"},
    };
    for (const auto& shot : resized) {
        shot.window->resize(shot.size);
        Save(*shot.window, folder + "/" + shot.name + ".png");
    }
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
