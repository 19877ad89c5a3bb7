// The windows under a real window manager: openbox on a private Xvfb display, started by
// with_window_manager.sh. What only a window manager shows: stored places kept over many
// starts (it adds a title bar above the inner area), windows brought forward from behind
// another or from minimised, the title-bar buttons asked for, and zoom, pan and resizing
// driven by the X server's own input through xdotool.
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include "ui/main_window.h"

namespace {

constexpr int kToolMilliseconds = 10000;
constexpr int kWindowManagerMilliseconds = 5000;

// _MOTIF_WM_HINTS bits (Motif 2.0 MwmUtil.h).
constexpr unsigned kFunctionsMinimize = 0x08;
constexpr unsigned kFunctionsMaximize = 0x10;
constexpr unsigned kFunctionsClose = 0x20;
constexpr unsigned kDecorationsTitle = 0x08;
constexpr unsigned kDecorationsMinimize = 0x20;
constexpr unsigned kDecorationsMaximize = 0x40;

QString Data(const char* name) { return QString(ZEMBRA_DATA_DIR "/") + name; }

// Runs one of the X tools and returns what it printed; the application's events go on
// being handled meanwhile, as the tool may be waiting for them.
QString Tool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(kToolMilliseconds)) return {};
    QDeadlineTimer deadline(kToolMilliseconds);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) QTest::qWait(10);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString Id(const QWidget& window) { return QString::number(window.winId()); }

// The numbers after "=" in xprop's answer for one property.
QList<unsigned> Property(const QWidget& window, const char* name) {
    QString line = Tool("xprop", {"-id", Id(window), name});
    QList<unsigned> values;
    int equals = line.indexOf('=');
    if (equals < 0) return values;
    for (const QString& value : line.mid(equals + 1).split(',', Qt::SkipEmptyParts)) {
        values << value.trimmed().toUInt(nullptr, 0);
    }
    return values;
}

// The window's frame extents: left, right, top, bottom, once the window manager has framed
// the window.
QList<unsigned> FrameExtents(const QWidget& window) {
    QList<unsigned> extents;
    auto framed = [&] { return (extents = Property(window, "_NET_FRAME_EXTENTS")).size() == 4; };
    return QTest::qWaitFor(framed, kWindowManagerMilliseconds) ? extents : QList<unsigned>();
}

// Where the X server has the top-left corner of the window's frame.
QPoint FrameCorner(const QWidget& window) {
    QList<unsigned> extents = FrameExtents(window);
    if (extents.size() != 4) return {-1, -1};
    QString info = Tool("xwininfo", {"-id", Id(window)});
    auto number = [&](const char* label) {
        QRegularExpression pattern(QString(label) + R"(:\s+(-?\d+))");
        return pattern.match(info).captured(1).toInt();
    };
    return QPoint(number("Absolute upper-left X") - int(extents[0]),
                  number("Absolute upper-left Y") - int(extents[2]));
}

QString ActiveWindow() { return Tool("xdotool", {"getactivewindow"}).trimmed(); }

// The window at the top of the window manager's stacking order.
QString TopWindow() {
    QString line = Tool("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
    QString last = line.section(',', -1).trimmed();
    return QString::number(last.section(' ', -1).toULongLong(nullptr, 16));
}

bool WaitExposedAndFramed(QWidget& window) {
    return QTest::qWaitForWindowExposed(&window) && FrameExtents(window).size() == 4;
}

QPushButton* Button(QWidget& window, const QString& text) {
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == text) return button;
    }
    return nullptr;
}

// A click of the X server's pointer on the middle of a control, reached by a move (a click
// where the pointer already rests can go to the window that was there before).
void Click(QWidget* control) {
    QPoint at = control->mapToGlobal(control->rect().center());
    Tool("xdotool",
         {"mousemove", "--sync", QString::number(at.x() - 5), QString::number(at.y()), "mousemove",
          "--sync", QString::number(at.x()), QString::number(at.y()), "click", "1"});
}

// A drag of the X server's pointer with a key held, in small steps as a hand moves.
void Drag(const char* key, QPoint from, QPoint to) {
    QStringList arguments = {
        "mousemove", "--sync", QString::number(from.x()), QString::number(from.y()), "keydown", key,
        "mousedown", "1"};
    for (int step = 1; step <= 5; ++step) {
        QPoint at = from + (to - from) * step / 5;
        arguments << "mousemove" << QString::number(at.x()) << QString::number(at.y()) << "sleep"
                  << "0.05";
    }
    arguments << "mouseup"
              << "1"
              << "keyup" << key;
    Tool("xdotool", arguments);
    QTest::qWait(200);
}

struct Place {
    QWidget* window;
    QPoint corner;
    QSize size;
};

}  // namespace

class WindowManagerTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != "xcb") QSKIP("needs an X display");
    }

    // Each start puts every window's frame where the last close found it: ten starts and
    // closes leave the stored places as they were.
    void PlacesAreKeptOverTenStarts() {
        QTemporaryDir dir;
        QString settings = dir.filePath("zembra.ini");
        const QByteArray stored =
            "[Application]\r\nFormHeight=500\r\nFormWidth=700\r\nFormTop=90\r\nFormLeft=140\r\n"
            "GOPGridHeight=420\r\nGOPGridTop=150\r\nGOPGridLeft=520\r\n"
            "BitRateGraphHeight=520\r\nBitRateGraphTop=420\r\nBitRateGraphLeft=60\r\n";
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(stored);
        file.close();
        for (int start = 1; start <= 10; ++start) {
            TForm1 form(Data("MpegReference.ini").toStdString(), settings.toStdString());
            form.show();
            form.GOPbtnClick();
            form.BitrateBtnClick();
            const Place places[] = {
                {&form, {140, 90}, {700, 500}},
                {&form.GopForm(), {520, 150}, {form.GopForm().width(), 420}},
                {&form.BitRateForm(), {60, 420}, {form.BitRateForm().width(), 520}}};
            for (const Place& place : places) {
                QVERIFY(WaitExposedAndFramed(*place.window));
                QString where = QString("start %1, %2").arg(start).arg(place.window->windowTitle());
                QCOMPARE(FrameCorner(*place.window), place.corner);
                QVERIFY2(place.window->size() == place.size, qPrintable(where));
                QVERIFY2(place.window->pos() == place.corner, qPrintable(where));
            }
            form.close();
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString written = file.readAll();
        for (const QString& line : QString(stored).split("\r\n", Qt::SkipEmptyParts)) {
            QVERIFY2(written.contains(line + "\r\n"), qPrintable(line));
        }
    }

    // Without a settings file the main window is centred, and stays there when started again.
    void FirstStartIsCentredAndStays() {
        QTemporaryDir dir;
        QString settings = dir.filePath("zembra.ini");
        QRect screen = QGuiApplication::primaryScreen()->virtualGeometry();
        QPoint centred((screen.width() - 680) / 2, (screen.height() - 520) / 2);
        for (int start = 1; start <= 3; ++start) {
            TForm1 form(Data("MpegReference.ini").toStdString(), settings.toStdString());
            form.show();
            QVERIFY(WaitExposedAndFramed(form));
            QCOMPARE(FrameCorner(form), centred);
            form.close();
        }
    }

    // GOPs and Bitrate raise their window and give it the focus when it is already open,
    // behind the main window or minimised.
    void CommandsBringTheirWindowForward_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("minimised");
        QTest::newRow("GOPs, behind") << "GOPs" << false;
        QTest::newRow("GOPs, minimised") << "GOPs" << true;
        QTest::newRow("Bitrate, behind") << "Bitrate" << false;
        QTest::newRow("Bitrate, minimised") << "Bitrate" << true;
    }
    void CommandsBringTheirWindowForward() {
        QFETCH(QString, button);
        QFETCH(bool, minimised);
        QTemporaryDir dir;
        TForm1 form(Data("MpegReference.ini").toStdString(), dir.filePath("z.ini").toStdString());
        QWidget& side = button == "GOPs" ? static_cast<QWidget&>(form.GopForm())
                                         : static_cast<QWidget&>(form.BitRateForm());
        form.show();
        QVERIFY(WaitExposedAndFramed(form));
        Click(Button(form, button));
        QVERIFY(WaitExposedAndFramed(side));
        QTRY_COMPARE_WITH_TIMEOUT(ActiveWindow(), Id(side), kWindowManagerMilliseconds);

        if (minimised) {
            side.showMinimized();
            QTRY_VERIFY_WITH_TIMEOUT(side.isMinimized(), kWindowManagerMilliseconds);
        }
        Tool("xdotool", {"windowactivate", "--sync", Id(form)});
        QTRY_COMPARE_WITH_TIMEOUT(TopWindow(), Id(form), kWindowManagerMilliseconds);

        Click(Button(form, button));
        QTRY_COMPARE_WITH_TIMEOUT(ActiveWindow(), Id(side), kWindowManagerMilliseconds);
        QTRY_COMPARE_WITH_TIMEOUT(TopWindow(), Id(side), kWindowManagerMilliseconds);
        QVERIFY(!side.isMinimized());
    }

    // The side windows and the about box ask the window manager for a close box and no
    // minimise or maximise box (Motif window manager hints, which most window managers
    // apply; openbox keeps its own buttons whatever a window asks).
    void TitleBarsAskForACloseBoxOnly() {
        TForm1 form(Data("MpegReference.ini").toStdString());
        for (QWidget* window :
             {static_cast<QWidget*>(&form.GopForm()), static_cast<QWidget*>(&form.BitRateForm()),
              static_cast<QWidget*>(&form.AboutBox())}) {
            window->show();
            QVERIFY(WaitExposedAndFramed(*window));
            QList<unsigned> hints = Property(*window, "_MOTIF_WM_HINTS");
            QVERIFY2(hints.size() >= 3, qPrintable(window->windowTitle()));
            unsigned functions = hints[1];
            unsigned decorations = hints[2];
            QVERIFY(functions & kFunctionsClose);
            QVERIFY(!(functions & (kFunctionsMinimize | kFunctionsMaximize)));
            QVERIFY(decorations & kDecorationsTitle);
            QVERIFY(!(decorations & (kDecorationsMinimize | kDecorationsMaximize)));
            window->close();
        }
    }

    // The X server's pointer with Shift zooms into a rectangle, with Ctrl moves the extent;
    // the window manager's resizing makes chart and grid taller but not the window wider.
    void RealMouseZoomsPansAndTheWindowResizes() {
        TBitRateForm form;
        form.InitBitrateGrid();
        for (double kilobits : {5248.63, 4993.1, 5120.0, 4800.0}) form.AddInfoToRow(kilobits);
        form.DrawGraphic(5040.4);
        form.show();
        QVERIFY(WaitExposedAndFramed(form));
        auto* time = qobject_cast<QValueAxis*>(form.Chart()->axes(Qt::Horizontal).first());
        QWidget* view = form.ChartView()->viewport();
        QPoint centre = view->mapToGlobal(form.Chart()->plotArea().center().toPoint());

        Drag("shift", centre - QPoint(80, 60), centre + QPoint(80, 60));
        QTRY_VERIFY2_WITH_TIMEOUT(time->max() - time->min() < 4 * 0.6,
                                  qPrintable(QString::number(time->max() - time->min())),
                                  kWindowManagerMilliseconds);
        double span = time->max() - time->min();
        double left = time->min();

        Drag("ctrl", centre, centre + QPoint(100, 0));
        QTRY_VERIFY_WITH_TIMEOUT(time->min() < left, kWindowManagerMilliseconds);
        QVERIFY(std::abs((time->max() - time->min()) - span) < 1e-6);

        QSize before = form.size();
        int chartHeight = form.ChartView()->height();
        Tool("xdotool", {"windowsize", "--sync", Id(form), QString::number(before.width() + 200),
                         QString::number(before.height() + 250)});
        QTRY_COMPARE_WITH_TIMEOUT(form.height(), before.height() + 250, kWindowManagerMilliseconds);
        QCOMPARE(form.width(), before.width());
        QCOMPARE(form.ChartView()->height(), chartHeight + 250);
        QCOMPARE(form.Grid()->height(), chartHeight + 250);
    }
};

QTEST_MAIN(WindowManagerTest)
#include "window_manager_test.moc"
