// What the operator sees of the windows, on the offscreen platform: controls that follow
// the window's edges without covering each other, text that is never cut, grids as wide
// as their columns, wrapping titles, round axis labels, zoom and pan by mouse, Copy of a
// selection, a bitrate window opened during a run, and legible report colours. ctest runs
// it at the normal scale and again at QT_SCALE_FACTOR=2.
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QValueAxis>

#include <cmath>

#include "run/analysis_driver.h"
#include "ui/main_window.h"
#include "ui/report_colours.h"

namespace {

QString Data(const char* name) { return QString(ZEMBRA_DATA_DIR "/") + name; }

QString Describe(const QWidget* widget) {
    QString text;
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) text = button->text();
    if (auto* label = qobject_cast<const QLabel*>(widget)) text = label->text();
    if (auto* box = qobject_cast<const QGroupBox*>(widget)) text = box->title();
    return QString("%1 \"%2\" at %3,%4 %5x%6")
        .arg(widget->metaObject()->className(), text)
        .arg(widget->x())
        .arg(widget->y())
        .arg(widget->width())
        .arg(widget->height());
}

QList<QWidget*> VisibleControls(QWidget* parent) {
    QList<QWidget*> controls;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() && child->isVisibleTo(parent)) controls << child;
    }
    return controls;
}

// The rectangle of a group box's title.
QRect TitleOf(QGroupBox* box) {
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.textAlignment = box->alignment();
    return box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                        box);
}

// The whole text of a control is drawn inside it.
bool TextFits(QWidget* widget) {
    QFontMetrics metrics = widget->fontMetrics();
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        return metrics.horizontalAdvance(button->text()) + margin <= button->width() &&
               metrics.height() <= button->height();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->text().isEmpty()) return true;
        if (!label->wordWrap()) return label->sizeHint().width() <= label->width();
        for (const QString& word : label->text().split(' ', Qt::SkipEmptyParts)) {
            if (metrics.horizontalAdvance(word) > label->width()) return false;
        }
        return label->heightForWidth(label->width()) <= label->height();
    }
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        QRect title = TitleOf(box);
        return box->rect().contains(title) &&
               metrics.horizontalAdvance(box->title()) <= title.width();
    }
    if (auto* status = qobject_cast<QStatusBar*>(widget)) {
        return metrics.height() <= status->height();
    }
    return true;
}

// Every visible control lies inside its parent, covers no sibling and no group box's
// title, and shows its whole text; and so inside group boxes.
void ExpectTidy(QWidget* parent) {
    QList<QWidget*> controls = VisibleControls(parent);
    auto* box = qobject_cast<QGroupBox*>(parent);
    for (int i = 0; i < controls.size(); ++i) {
        QWidget* a = controls[i];
        QVERIFY2(parent->rect().contains(a->geometry()),
                 qPrintable("past the edge: " + Describe(a)));
        QVERIFY2(TextFits(a), qPrintable("text cut: " + Describe(a)));
        if (box) {
            QVERIFY2(!a->geometry().intersects(TitleOf(box)),
                     qPrintable("on the title of " + box->title() + ": " + Describe(a)));
        }
        for (int j = i + 1; j < controls.size(); ++j) {
            QVERIFY2(!a->geometry().intersects(controls[j]->geometry()),
                     qPrintable(Describe(a) + " covers " + Describe(controls[j])));
        }
        if (qobject_cast<QGroupBox*>(a)) {
            ExpectTidy(a);
            if (QTest::currentTestFailed()) return;
        }
    }
}

template <typename T>
T* FindByText(QWidget& window, const QString& text) {
    for (T* control : window.findChildren<T*>()) {
        if constexpr (std::is_same_v<T, QGroupBox>) {
            if (control->title() == text) return control;
        } else {
            if (control->text() == text) return control;
        }
    }
    return nullptr;
}

// A step between axis labels: 1, 2 or 5 times a power of ten.
bool IsRoundStep(double step) {
    if (!(step > 0)) return false;
    double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    for (double round : {1.0, 2.0, 5.0, 10.0}) {
        if (std::abs(mantissa - round) < 1e-6) return true;
    }
    return false;
}

bool IsMultiple(double value, double step) {
    double ratio = value / step;
    return std::abs(ratio - std::round(ratio)) < 1e-6;
}

QValueAxis* AxisOf(TBitRateForm& form, Qt::Orientation orientation) {
    return qobject_cast<QValueAxis*>(form.Chart()->axes(orientation).first());
}

// Sample values of a stream: three seconds at about 5 Mbit/s.
void DrawThreeSeconds(TBitRateForm& form) {
    form.InitBitrateGrid();
    for (double kilobits : {5248.63, 4993.1, 5120.0}) form.AddInfoToRow(kilobits);
    form.DrawGraphic(5120.58);
}

QStringList ClipboardLines() {
    return QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
}

}  // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void MainWindowControlsFollowTheEdges_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("smallest") << QSize(680, 300);
        QTest::newRow("default") << QSize(680, 520);
        QTest::newRow("large") << QSize(1100, 800);
    }
    void MainWindowControlsFollowTheEdges() {
        QFETCH(QSize, size);
        QTemporaryDir dir;
        TForm1 form(Data("MpegReference.ini").toStdString(), dir.filePath("z.ini").toStdString());
        form.show();
        form.resize(size);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), size);
        QWidget* area = form.centralWidget();
        ExpectTidy(area);
        if (QTest::currentTestFailed()) return;

        // The path field and the progress bar stretch with the width, the report with both.
        int dx = area->width() - 672;
        int dy = area->height() - 474;
        QCOMPARE(form.findChild<QLineEdit*>()->width(), 561 + dx);
        QCOMPARE(form.findChild<QProgressBar*>()->width(), 657 + dx);
        QCOMPARE(form.LogPanel()->size(), QSize(657 + dx, 309 + dy));
        // The buttons keep their edges.
        QCOMPARE(FindByText<QPushButton>(form, "Analyze")->pos(), QPoint(8, 388 + dy));
        QCOMPARE(FindByText<QPushButton>(form, "Loudness")->pos(), QPoint(328, 388 + dy));
        QCOMPARE(FindByText<QPushButton>(form, "Exit")->pos(), QPoint(592 + dx, 388 + dy));
        QCOMPARE(FindByText<QPushButton>(form, "Open")->geometry().right(),
                 FindByText<QGroupBox>(form, "MPEG File Name")->width() - 7);
    }

    void MainWindowIsNoSmallerThanItsMinimum() {
        QTemporaryDir dir;
        TForm1 form(Data("MpegReference.ini").toStdString(), dir.filePath("z.ini").toStdString());
        form.show();
        form.resize(400, 200);
        QCOMPARE(form.size(), QSize(680, 300));
    }

    // The chart and the grid grow with the height; the width stays as their contents make it.
    void BitrateWindowGrowsWithItsHeight() {
        TBitRateForm form;
        DrawThreeSeconds(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QSize before = form.size();
        QRect chart = form.ChartView()->geometry();
        QRect grid = form.Grid()->geometry();
        form.resize(before.width() + 200, before.height() + 300);
        QCOMPARE(form.width(), before.width());
        QCOMPARE(form.height(), before.height() + 300);
        QCOMPARE(form.ChartView()->geometry(), chart.adjusted(0, 0, 0, 300));
        QCOMPARE(form.Grid()->geometry(), grid.adjusted(0, 0, 0, 300));
        QVERIFY(form.rect().contains(form.Grid()->geometry()));
        QVERIFY(!form.ChartView()->geometry().intersects(form.Grid()->geometry()));
    }

    // No value is cut and the grid never scrolls sideways; rows are 21 pixels high.
    void BitrateGridShowsEveryValueWhole() {
        TBitRateForm form;
        form.InitBitrateGrid();
        for (double kilobits : {5248.63, 15000.0, 79999.99}) form.AddInfoToRow(kilobits);
        form.DrawGraphic(33416.2);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTableView* grid = form.Grid();
        QCOMPARE(grid->model()->index(0, 1).data().toString(), QString("5248.63"));
        QVERIFY(!grid->horizontalScrollBar()->isVisible());
        int columns = grid->columnWidth(0) + grid->columnWidth(1);
        QVERIFY2(grid->viewport()->width() >= columns,
                 qPrintable(QString("%1 < %2").arg(grid->viewport()->width()).arg(columns)));
        QVERIFY(grid->columnWidth(0) >= 40 && grid->columnWidth(1) >= 60);
        QFontMetrics metrics(grid->font());
        for (int row = 0; row < grid->model()->rowCount(); ++row) {
            QCOMPARE(grid->rowHeight(row), 21);
            for (int column = 0; column < 2; ++column) {
                QString text = grid->model()->index(row, column).data().toString();
                QVERIFY2(metrics.horizontalAdvance(text) < grid->columnWidth(column),
                         qPrintable(text));
            }
        }
    }

    // Titles wrap at word boundaries and the header row is as high as the tallest one.
    void GopTitlesWrapAndTheHeaderGrows() {
        TGopForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QHeaderView* header = form.Grid()->horizontalHeader();
        QFontMetrics metrics(header->font());
        int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        QVERIFY2(header->height() >= 2 * metrics.height(),
                 qPrintable(QString::number(header->height())));
        for (const char* title : {"GOP Length", "Seq. Header?", "GOP #"}) {
            int section = -1;
            for (int s = 0; s < header->count(); ++s) {
                if (header->model()->headerData(s, Qt::Horizontal).toString() == title) section = s;
            }
            QVERIFY(section >= 0);
            int room = header->sectionSize(section) - 2 * margin;
            for (const QString& word : QString(title).split(' ')) {
                QVERIFY2(metrics.horizontalAdvance(word) <= room, qPrintable(word));
            }
            QRect wrapped = metrics.boundingRect(QRect(0, 0, room, 1000),
                                                 Qt::AlignCenter | Qt::TextWordWrap, title);
            QVERIFY2(wrapped.height() <= header->height() - 2 * margin, title);
        }
        QVERIFY(!form.Grid()->horizontalScrollBar()->isVisible());
    }

    // The first column of each grid is a header column: not selectable, shaded as titles.
    void FirstColumnsAreHeaderColumns() {
        TGopForm gops;
        TBitRateForm bitrates;
        DrawThreeSeconds(bitrates);
        for (QAbstractItemModel* model : {static_cast<QAbstractItemModel*>(&gops.Model()),
                                          static_cast<QAbstractItemModel*>(&bitrates.Model())}) {
            QModelIndex first = model->index(0, 0);
            QVERIFY(!(model->flags(first) & Qt::ItemIsSelectable));
            QVERIFY(model->flags(model->index(0, 1)) & Qt::ItemIsSelectable);
            QCOMPARE(first.data(Qt::BackgroundRole).value<QBrush>(),
                     QApplication::palette().button());
        }
    }

    // Copy takes the selected cells when there are any, every row otherwise.
    void CopyTakesTheSelectionOrEverything() {
        TForm1 form(Data("MpegReference.ini").toStdString());
        form.OpenFile(Data("sample.mpg"));
        struct Case {
            QTableView* grid;
            std::function<void()> copy;
            int lastColumn;  // of the selection of rows 1 and 2 from column 1
            QStringList selected;
            QString firstOfAll;
            int allLines;
        };
        TBitRateForm& bitrates = form.BitRateForm();
        QString second = bitrates.Model().index(1, 1).data().toString();
        QString third = bitrates.Model().index(2, 1).data().toString();
        const Case cases[] = {
            {form.GopForm().Grid(),
             [&] { form.GopForm().Copy1Click(); },
             2,
             {"00:00:00:15\t15", "00:00:01:05\t15"},
             "GOP #\tTimeCode\tGOP Length\tStructure\tClosed?\tSeq. Header?\tBroken Link",
             8},
            {bitrates.Grid(),
             [&] { bitrates.Copy1Click(); },
             1,
             {second, third},
             "Sec.\tBitrate",
             5},
        };
        for (const Case& c : cases) {
            QAbstractItemModel* model = c.grid->model();
            c.grid->selectionModel()->select(
                QItemSelection(model->index(1, 1), model->index(2, c.lastColumn)),
                QItemSelectionModel::ClearAndSelect);
            c.copy();
            QCOMPARE(ClipboardLines(), c.selected);
            c.grid->clearSelection();
            c.copy();
            QStringList all = ClipboardLines();
            QCOMPARE(all.size(), c.allLines);
            QCOMPARE(all.first(), c.firstOfAll);
        }
    }

    // Opening and closing the bitrate window while a stream is analysed loses no second:
    // the graph and the table hold what a run with the window left alone holds.
    void BitrateWindowOpenedDuringARunKeepsEverySecond() {
        QTemporaryDir dir;
        TForm1 form(Data("MpegReference.ini").toStdString(), dir.filePath("z.ini").toStdString());
        form.OpenFile(Data("sample.mpg"));
        QList<QPointF> alone = form.BitRateForm().Series1()->points();
        QString tableAlone = form.BitRateForm().Model().AsText();
        QCOMPARE(alone.size(), 5);

        // The window is opened at every pump of the run and closed at every other one.
        int pumps = 0;
        std::function<void()> toggle = [&] {
            if (!IsAnalysisRunning()) return;
            if (++pumps % 2) {
                form.BitrateBtnClick();
            } else {
                form.BitRateForm().close();
            }
            QTimer::singleShot(0, &form, toggle);
        };
        QTimer::singleShot(0, &form, toggle);
        form.AnalyzeBtnClick();
        QVERIFY(pumps >= 2);
        QCOMPARE(form.BitRateForm().Series1()->points(), alone);
        QCOMPARE(form.BitRateForm().Model().AsText(), tableAlone);
    }

    // The same, one sample at a time: the samples formed before the window was shown and
    // while it was shown are all drawn, numbered from 1.
    void ShowingAndClosingKeepThePendingSamples() {
        TBitRateForm form;
        form.InitBitrateGrid();
        form.AddInfoToRow(4000.0);
        form.show();
        form.AddInfoToRow(4100.0);
        form.close();
        form.AddInfoToRow(4200.0);
        form.DrawGraphic(4100.0);
        QCOMPARE(form.Series1()->points(),
                 QList<QPointF>({{0, 0}, {1, 4000.0}, {2, 4100.0}, {3, 4200.0}}));
        QCOMPARE(form.Model().AsText(),
                 QString("Sec.\tBitrate\n1\t4000.00\n2\t4100.00\n3\t4200.00\n"));
    }

    // Labels stand at whole seconds and round kilobits per second, from 0, whatever the
    // range: drawn, zoomed in, or over a long programme.
    void AxisLabelsFallOnRoundValues() {
        TBitRateForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        struct Case {
            const char* name;
            int seconds;
            double kilobits;
        };
        const Case cases[] = {{"3 s", 3, 5248.63}, {"1 h", 3600, 9800.0}, {"17 s", 17, 731.4}};
        for (const Case& c : cases) {
            form.InitBitrateGrid();
            for (int k = 0; k < c.seconds; ++k) form.AddInfoToRow(c.kilobits * (k % 2 ? 0.9 : 1.0));
            form.DrawGraphic(c.kilobits * 0.95);
            QTest::qWait(0);
            for (QValueAxis* axis : {AxisOf(form, Qt::Horizontal), AxisOf(form, Qt::Vertical)}) {
                QCOMPARE(axis->tickType(), QValueAxis::TicksDynamic);
                QCOMPARE(axis->tickAnchor(), 0.0);
                QVERIFY2(IsRoundStep(axis->tickInterval()),
                         qPrintable(QString("%1: %2").arg(c.name).arg(axis->tickInterval())));
                QVERIFY2((axis->max() - axis->min()) / axis->tickInterval() <= 10, c.name);
            }
            QVERIFY(AxisOf(form, Qt::Horizontal)->tickInterval() >= 1);  // whole seconds
            QValueAxis* bitrate = AxisOf(form, Qt::Vertical);
            QVERIFY2(IsMultiple(bitrate->max(), bitrate->tickInterval()), c.name);
            QVERIFY(bitrate->max() >= c.kilobits);

            form.Chart()->zoomIn(form.Chart()->plotArea().adjusted(40, 30, -200, -100));
            QTest::qWait(0);  // the step follows the new range
            for (QValueAxis* axis : {AxisOf(form, Qt::Horizontal), bitrate}) {
                QVERIFY2(IsRoundStep(axis->tickInterval()), c.name);
                QVERIFY2((axis->max() - axis->min()) / axis->tickInterval() <= 10, c.name);
            }
        }
    }

    // Shift and the left button drag a rectangle that becomes the new extent; Ctrl and the
    // left button move the extent; Undo Zoom returns to all of it.
    void ShiftDragZoomsAndCtrlDragPans() {
        TBitRateForm form;
        DrawThreeSeconds(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget* view = form.ChartView()->viewport();
        QRectF plot = form.Chart()->plotArea();
        QValueAxis* time = AxisOf(form, Qt::Horizontal);
        QValueAxis* bitrate = AxisOf(form, Qt::Vertical);
        auto drag = [&](Qt::KeyboardModifiers modifiers, QPoint from, QPoint to) {
            QTest::mousePress(view, Qt::LeftButton, modifiers, from);
            for (int step = 1; step <= 4; ++step) {
                QTest::mouseMove(view, from + (to - from) * step / 4);
            }
            QTest::mouseRelease(view, Qt::LeftButton, modifiers, to);
        };
        QPoint centre = plot.center().toPoint();

        drag(Qt::ShiftModifier, centre - QPoint(60, 40), centre + QPoint(60, 40));
        QVERIFY2(time->max() - time->min() < 3 * 0.5, qPrintable(QString::number(time->max())));
        QVERIFY(time->min() > 0);

        double span = time->max() - time->min();
        double left = time->min();
        drag(Qt::ControlModifier, centre, centre + QPoint(80, 0));
        QVERIFY2(time->min() < left, qPrintable(QString::number(time->min())));
        QVERIFY(std::abs((time->max() - time->min()) - span) < 1e-6);

        double top = bitrate->max();
        drag(Qt::NoModifier, centre, centre + QPoint(50, 50));  // a plain drag changes nothing
        QCOMPARE(bitrate->max(), top);

        form.UndoZoom1Click();
        QCOMPARE(time->min(), 0.0);
        QCOMPARE(time->max(), 3.0);
    }

    // Each line colour keeps its hue and stands out 3:1 from the sky-blue report and from
    // white paper.
    void ReportColoursAreLegibleOnScreenAndPaper() {
        struct Case {
            const char* name;
            LineColour colour;
            int hueFrom, hueTo;
        };
        const Case cases[] = {{"red", LineColour::Red, 0, 10},
                              {"green", LineColour::Green, 110, 130},
                              {"yellow", LineColour::Yellow, 40, 65}};
        for (const Case& c : cases) {
            QColor shade = ReportColour(c.colour);
            QVERIFY2(ContrastRatio(shade, ReportBackground()) >= 3.0, c.name);
            QVERIFY2(ContrastRatio(shade, Qt::white) >= 3.0, c.name);
            QVERIFY2(shade.hsvHue() >= c.hueFrom && shade.hsvHue() <= c.hueTo, c.name);
        }
        QCOMPARE(ContrastRatio(QColor(255, 255, 0), ReportBackground()),
                 ContrastRatio(ReportBackground(), QColor(255, 255, 0)));
        QVERIFY(std::abs(ContrastRatio(Qt::black, Qt::white) - 21.0) < 1e-9);
    }

    // The side windows and the about box ask for a close box only.
    void SideWindowsHaveACloseBoxOnly() {
        TForm1 form(Data("MpegReference.ini").toStdString());
        for (QWidget* window :
             {static_cast<QWidget*>(&form.GopForm()), static_cast<QWidget*>(&form.BitRateForm()),
              static_cast<QWidget*>(&form.AboutBox())}) {
            Qt::WindowFlags flags = window->windowFlags();
            QVERIFY(flags & Qt::CustomizeWindowHint);
            QVERIFY(flags & Qt::WindowCloseButtonHint);
            QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                               Qt::WindowContextHelpButtonHint)));
        }
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
