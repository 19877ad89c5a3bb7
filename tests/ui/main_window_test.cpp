// The main window on the offscreen platform: a whole run of the bundled sample, report
// colours, verdict, caption, refusals while running, Cancel, Save.
#include "ui/main_window.h"

#include <QApplication>
#include <QAreaSeries>
#include <QChart>
#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QMimeData>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QValueAxis>

#include <clocale>
#include <cstring>
#include <limits>

#include "report/report_log.h"
#include "run/analysis_driver.h"
#include "ui/report_colours.h"
#include "ui/settings.h"

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    static QString Data(const char* name) { return QString(ZEMBRA_DATA_DIR "/") + name; }

    // Colour and weight of the first report line with this text.
    static QTextCharFormat FormatOfLine(TForm1& form, const QString& text) {
        for (QTextBlock b = form.LogPanel()->document()->firstBlock(); b.isValid(); b = b.next()) {
            if (b.text() == text) return b.begin().fragment().charFormat();
        }
        return {};
    }

  private slots:
    void WholeRunOfTheSample() {
        TForm1 form(Data("MpegReference.ini").toStdString());
        QStringList errors;
        form.errorBox = [&](const QString& text) { errors << text; };
        form.OpenFile(Data("sample.mpg"));
        QStringList lines = form.ReportText();
        QVERIFY(lines.first().startsWith("Zembra v1.4.0.131 - "));
        QVERIFY(lines.contains("Compliance Test: Pass"));
        QCOMPARE(form.VerdictText(), QString("Ok!"));
        QCOMPARE(form.windowTitle(), QString("Zembra v1.4.0.131 - [sample.mpg]"));
        QCOMPARE(form.FilePath(), Data("sample.mpg"));
        QVERIFY(errors.isEmpty());
        QTextCharFormat pass = FormatOfLine(form, "Compliance Test: Pass");
        QCOMPARE(pass.foreground().color(), ReportColour(LineColour::Green));
        QCOMPARE(pass.fontWeight(), int(QFont::Bold));
    }

    // The desktop application runs without its profile as before, every check an
    // information line, and the report's first lines say why.
    void MissingProfileIsSaid() {
        QTemporaryDir dir;
        QString profile = dir.filePath("MpegReference.ini");
        TForm1 form(profile.toStdString());
        form.OpenFile(Data("sample.mpg"));
        QString line = "Reference profile \"" + profile +
                       "\" cannot be read (No such file or directory): no key is set";
        QCOMPARE(form.ReportText().at(1), line);
        QCOMPARE(FormatOfLine(form, line).foreground().color(), ReportColour(LineColour::Yellow));
        QVERIFY(form.ReportText().contains("Compliance Test: Pass"));
    }

    void FailureAndWarningColours() {
        QTemporaryDir dir;
        QString profile = dir.filePath("MpegReference.ini");
        QFile file(profile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Video]\nHorizontalSize=704\n[Audio]\nDecodeAudio=1\nRMSReference=0\n");
        file.close();
        TForm1 form(profile.toStdString());
        form.OpenFile(Data("sample.mpg"));
        QCOMPARE(FormatOfLine(form, "*Horizontal Size = 720").foreground().color(),
                 ReportColour(LineColour::Red));
        QCOMPARE(FormatOfLine(form, "*Left Channel RMS Level = -14.2 dB").foreground().color(),
                 ReportColour(LineColour::Yellow));
        QCOMPARE(form.VerdictText(), QString("Fail!"));
        QVERIFY(form.ReportText().contains("Compliance Test: Fail!!"));
    }

    // The application runs under the user's locale (QApplication sets it): under de_DE
    // "-14.5" was not read and the report printed "2,08 MB". A typo in the profile is
    // said on the report's second line and fails nothing.
    void CommaLocaleAndAProfileTypo() {
        std::string previous = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8") ||
            std::strcmp(std::localeconv()->decimal_point, ",") != 0) {
            std::setlocale(LC_ALL, previous.c_str());
            QSKIP("the locale de_DE.UTF-8 is missing: scripts/test.sh makes it");
        }
        QTemporaryDir dir;
        QString profile = dir.filePath("MpegReference.ini");
        QFile file(profile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "[Video]\n  HorizontalSise=720\n[Audio]\n  DecodeAudio=1\n"
            "  RMSReference=-14.5\n  RMSTolerance=0.5\n");
        file.close();
        TForm1 form(profile.toStdString());
        form.OpenFile(Data("sample.mpg"));
        QStringList lines = form.ReportText();
        std::setlocale(LC_ALL, previous.c_str());
        QString warning =
            "Unknown key \"HorizontalSise\" in [Video] of profile \"" + profile + "\", line 2";
        QCOMPARE(lines.at(1), "Reference profile: \"" + profile + "\"");
        QCOMPARE(lines.at(2), warning);
        QCOMPARE(FormatOfLine(form, warning).foreground().color(),
                 ReportColour(LineColour::Yellow));
        QVERIFY(lines.contains("MPEG file size 2.08 MB"));
        QTextCharFormat rms = FormatOfLine(form, "Left Channel RMS Level = -14.2 dB");
        QCOMPARE(rms.foreground().color(),
                 ReportColour(LineColour::Green));  // a check, not information
        QCOMPARE(rms.fontWeight(), int(QFont::Bold));
        QCOMPARE(form.VerdictText(), QString("Ok!"));
    }

    void CommandsAreRefusedWhileRunningAndCancelStopsThePhase() {
        TForm1 form(Data("MpegReference.ini").toStdString());
        form.errorBox = [](const QString&) {};
        bool refusedTried = false;
        // At the first event pump inside the run (clearing the report) Analyze is pressed;
        // at the next (the first pass has begun) Cancel.
        QTimer::singleShot(0, &form, [&] {
            refusedTried = IsAnalysisRunning();
            form.AnalyzeBtnClick();  // refused: no second run inside the first
            QTimer::singleShot(0, &form, [&] { form.ButtonCancelClick(); });
        });
        form.OpenFile(Data("sample.mpg"));
        QVERIFY(refusedTried);
        QStringList lines = form.ReportText();
        QCOMPARE(lines.filter("Zembra v1.4.0.131 - ").size(), 1);
        QVERIFY(!lines.contains("Begin Video Streams Summary:"));  // cancelled in the first pass
        QCOMPARE(lines.at(lines.size() - 2), QString("End."));
        QVERIFY(!IsAnalysisRunning());
    }

    void GopTableOfTheSample() {
        TForm1 form(Data("MpegReference.ini").toStdString());
        form.OpenFile(Data("sample.mpg"));
        GopTableModel& model = form.GopForm().Model();
        QCOMPARE(model.rowCount(), 8);  // seven GOPs and the empty row after them
        QStringList first;
        for (int column = 0; column < GopTableModel::Count; ++column) {
            first << model.index(0, column).data().toString();
        }
        QCOMPARE(first,
                 QStringList({"1", "00:00:00:00", "15", "IPPPPPPPPPPPPPP", "Yes", "Yes", "No"}));
        QCOMPARE(model.index(6, GopTableModel::Length).data().toString(), QString("10"));
        QCOMPARE(model.index(7, GopTableModel::Number).data().toString(), QString());
        QCOMPARE(model.index(0, GopTableModel::Number).data(Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(model.index(0, GopTableModel::Structure).data(Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignLeft | Qt::AlignVCenter));
        QCOMPARE(model.index(0, GopTableModel::Closed).data(Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignCenter));
        QCOMPARE(
            model.headerData(GopTableModel::Structure, Qt::Horizontal, Qt::ToolTipRole).toString(),
            QString("Determina la estructura\nde los GOPs"));
        form.GopForm().Copy1Click();
        QStringList copied = QApplication::clipboard()->text().split('\n');
        QCOMPARE(copied.first(),
                 QString("GOP #\tTimeCode\tGOP Length\tStructure\tClosed?\tSeq. Header?\tBroken Link"));
        QCOMPARE(copied.at(1), QString("1\t00:00:00:00\t15\tIPPPPPPPPPPPPPP\tYes\tYes\tNo"));
        form.GOPbtnClick();
        QCOMPARE(form.GopForm().windowTitle(), QString("Zembra v1.4.0.131 - GOPs"));
    }

    void BitrateGraphOfTwoSeconds() {
        // 62 frames at 25 fps form two samples.
        TBitRateForm form;
        form.InitBitrateGrid();
        form.AddInfoToRow(4567.891);
        form.AddInfoToRow(3000.0);
        form.DrawGraphic(3700.0);
        QCOMPARE(form.Series1()->points(), QList<QPointF>({{0, 0}, {1, 4567.891}, {2, 3000.0}}));
        QCOMPARE(form.Series2()->points(), QList<QPointF>({{0, 3700.0}, {1, 3700.0}, {2, 3700.0}}));
        BitrateTableModel& model = form.Model();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(0, BitrateTableModel::Bitrate).data().toString(), QString("4567.89"));
        QCOMPARE(model.index(1, BitrateTableModel::Second).data().toString(), QString("2"));

        form.show();  // the chart needs a plot area to zoom in
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* axis = qobject_cast<QValueAxis*>(form.Chart()->axes(Qt::Horizontal).first());
        double fullMax = axis->max();
        form.Chart()->zoomIn();
        QVERIFY(axis->max() < fullMax);
        form.UndoZoom1Click();
        QCOMPARE(axis->max(), fullMax);

        form.Copy1Click();
        QCOMPARE(QApplication::clipboard()->text(),
                 QString("Sec.\tBitrate\n1\t4567.89\n2\t3000.00\n"));
        form.CopyBitmaptoClipboard1Click();
        QVERIFY(!QApplication::clipboard()->image().isNull());
        form.CopyMetafiletoClipboard1Click();
        QVERIFY(QApplication::clipboard()->mimeData()->data("image/svg+xml").contains("<svg"));
    }

    void ShorterThanASecondShowsTheOriginAndTheAverage() {
        TBitRateForm form;
        form.InitBitrateGrid();
        form.DrawGraphic(1234.0);
        QCOMPARE(form.Series1()->points(), QList<QPointF>({{0, 0}}));
        QCOMPARE(form.Series2()->points(), QList<QPointF>({{0, 1234.0}}));
        QCOMPARE(form.Model().rowCount(), 1);
    }

    void SampleRunFillsTheGraph() {
        TForm1 form(Data("MpegReference.ini").toStdString());
        form.OpenFile(Data("sample.mpg"));
        QCOMPARE(form.BitRateForm().Series1()->count(), 5);  // the origin and four seconds
        QCOMPARE(form.BitRateForm().Model().rowCount(), 5);
        form.BitrateBtnClick();
        QCOMPARE(form.BitRateForm().windowTitle(), QString("Zembra v1.4.0.131 - Video Bitrate"));
    }

    // The sample is variable rate: the buffer is full before the first removal, each of
    // its 100 pictures is a drop, and the buffer line spans the stream.
    void SampleRunFillsTheVbvGraph() {
        TForm1 form(Data("MpegReference.ini").toStdString());
        form.OpenFile(Data("sample.mpg"));
        QList<QPointF> occupancy = form.VbvForm().Occupancy()->points();
        QCOMPARE(occupancy.size(), 200);
        QCOMPARE(occupancy.first(), QPointF(0, 1792));  // 1 835 008 bits
        QCOMPARE(occupancy.last().y(), 0.0);
        QCOMPARE(form.VbvForm().BufferSize()->points(),
                 QList<QPointF>({{0, 1792}, {occupancy.last().x(), 1792}}));
        // Labels at round values, the occupancy axis ending at one above the buffer line.
        auto* kilobits =
            qobject_cast<QValueAxis*>(form.VbvForm().Chart()->axes(Qt::Vertical).first());
        QCOMPARE(kilobits->tickInterval(), 500.0);
        QCOMPARE(kilobits->max(), 2000.0);
        auto* time =
            qobject_cast<QValueAxis*>(form.VbvForm().Chart()->axes(Qt::Horizontal).first());
        QCOMPARE(time->tickInterval(), 1.0);
        form.VbvGraphClick();
        QCOMPARE(form.VbvForm().windowTitle(), QString("Zembra v1.4.0.131 - VBV Buffer"));
        QVERIFY(form.VbvForm().isVisible());
    }

    // The registered listener's curve reaches the loudness window: silence at the bottom
    // of the scale (the absolute gate), the target across and its tolerance as a band, the
    // loudness axis from label to label.
    void LoudnessCurveReachesItsWindow() {
        TForm1 form(Data("MpegReference.ini").toStdString());
        LoudnessListener& listener = CurrentLoudnessListener();
        listener.BeginLoudnessCurve(0xC0);
        const double silence = -std::numeric_limits<double>::infinity();
        for (int i = 1; i <= 50; ++i) {
            listener.AddLoudnessPoint({i * 0.1, i < 5 ? silence : -20.5, i < 30 ? silence : -23.2});
        }
        listener.DrawLoudnessGraph(-23, 1);
        TLoudnessForm& window = form.LoudnessForm();
        QList<QPointF> momentary = window.Momentary()->points();
        QCOMPARE(momentary.size(), 50);
        QCOMPARE(momentary.first(), QPointF(0.1, -70));
        QCOMPARE(momentary.last(), QPointF(5.0, -20.5));
        QCOMPARE(window.ShortTerm()->points().last(), QPointF(5.0, -23.2));
        QCOMPARE(window.Target()->points(), QList<QPointF>({{0, -23}, {5.0, -23}}));
        QVERIFY(window.ToleranceBand()->isVisible());
        QCOMPARE(window.ToleranceBand()->upperSeries()->points().first().y(), -22.0);
        QCOMPARE(window.ToleranceBand()->lowerSeries()->points().first().y(), -24.0);
        auto* lufs = qobject_cast<QValueAxis*>(window.Chart()->axes(Qt::Vertical).first());
        QCOMPARE(lufs->min(), -70.0);
        QCOMPARE(lufs->max(), -10.0);
        QCOMPARE(lufs->tickInterval(), 10.0);

        // A profile without the keys: the curves alone.
        listener.BeginLoudnessCurve(0xC1);
        listener.AddLoudnessPoint({0.1, -30, silence});
        const double notSet = std::numeric_limits<double>::quiet_NaN();
        listener.DrawLoudnessGraph(notSet, notSet);
        QCOMPARE(window.Momentary()->points(), QList<QPointF>({{0.1, -30}}));
        QVERIFY(!window.Target()->isVisible());
        QVERIFY(!window.ToleranceBand()->isVisible());

        form.LoudnessBtnClick();
        QCOMPARE(window.windowTitle(), QString("Zembra v1.4.0.131 - Loudness"));
        QVERIFY(window.isVisible());
    }

    void AboutBoxShowsTheVersion() {
        TForm1 form(Data("MpegReference.ini").toStdString());
        QTimer::singleShot(0, &form, [&] { form.AboutBox().accept(); });
        form.About1Click();
        QCOMPARE(form.AboutBox().windowTitle(), QString("About Zembra"));
        QCOMPARE(form.AboutBox().Version->text(), QString("Zembra v1.4.0.131"));
        QCOMPARE(form.AboutBox().ProductName->text(), QString("Zembra"));
    }

    void SettingsOnFirstStartAndWrittenAtClose() {
        QTemporaryDir dir;
        QString settings = dir.filePath("zembra.ini");
        {
            TForm1 form(Data("MpegReference.ini").toStdString(), settings.toStdString());
            form.show();
            QCOMPARE(form.size(), QSize(680, 520));
            form.close();
        }
        QFile file(settings);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString text = file.readAll();
        QVERIFY(text.contains("[Application]"));
        QVERIFY(text.contains("Version=Zembra v1.4.0.131"));
        QVERIFY(text.contains("FormWidth=680"));
        QVERIFY(text.contains("GOPGridHeight=480"));
        QVERIFY(text.contains("[Format]\r\nPrintOnlyErrors=0"));
        QVERIFY(!text.contains("ProcessPriority"));
    }

    void StoredSettingsAreAppliedAndOtherLinesKept() {
        QTemporaryDir dir;
        QString settings = dir.filePath("zembra.ini");
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "; operator's note\n[application]\nformwidth=700\nFormHeight=400\n"
            "BitRateGraphWidth=999\nVBVGraphWidth=700\nVBVGraphHeight=380\n[Format]\n"
            "PrintOnlyErrors=1\n[Other]\nKeep=me\n");
        file.close();
        {
            TForm1 form(Data("MpegReference.ini").toStdString(), settings.toStdString());
            form.show();
            QCOMPARE(form.size(), QSize(700, 400));
            QCOMPARE(form.VbvForm().size(), QSize(700, 380));
            QVERIFY(GetPrintOnlyErrors());
            for (QPushButton* button : form.findChildren<QPushButton*>()) {
                if (button->text() == "GOPs" || button->text() == "Bitrate") {
                    QVERIFY(!button->isEnabled());
                }
            }
            form.OpenFile(Data("sample.mpg"));
            QVERIFY(!form.ReportText().contains("MPEG Packs = 1064"));  // information line
            form.close();
        }
        SetPrintOnlyErrors(false);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString text = file.readAll();
        QVERIFY(text.startsWith("; operator's note"));
        QVERIFY(text.contains("formwidth=700") || text.contains("FormWidth=700"));
        QVERIFY(text.contains("PrintOnlyErrors=1"));
        QVERIFY(text.contains("[Other]\r\nKeep=me"));
        QVERIFY(text.contains("BitRateGraphWidth=999"));  // never read, never written
        QVERIFY(text.contains("VBVGraphWidth=700"));
    }

    void RefusedSettingsWriteIsShownAndTheWindowStillCloses() {
        QTemporaryDir dir;
        std::string settings = dir.filePath("missing/folder/zembra.ini").toStdString();
        TForm1 form(Data("MpegReference.ini").toStdString(), settings);
        QStringList errors;
        form.errorBox = [&](const QString& text) { errors << text; };
        form.show();
        form.close();
        QCOMPARE(errors, QStringList({QString::fromStdString("Unable to write to " + settings)}));
        QVERIFY(!form.isVisible());
    }

    void ProcessPriorityTexts() {
        QCOMPARE(PriorityNiceValue("REALTIME_PRIORITY_CLASS"), -20);
        QCOMPARE(PriorityNiceValue("HIGH_PRIORITY_CLASS"), -10);
        QCOMPARE(PriorityNiceValue("NORMAL_PRIORITY_CLASS"), 0);
        QCOMPARE(PriorityNiceValue("IDLE_PRIORITY_CLASS"), 19);
        QCOMPARE(PriorityNiceValue("high_priority_class"), 0);
        QCOMPARE(PriorityNiceValue("32"), 0);
    }

    void PrintingToAPdfFileNeedsNoPrinter() {
        QTemporaryDir dir;
        TForm1 form(Data("MpegReference.ini").toStdString(), dir.filePath("z.ini").toStdString());
        form.OpenFile(Data("sample.mpg"));
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("report.pdf"));
        QVERIFY(form.PrintReport(printer));
        QCOMPARE(printer.docName(), QString("Zembra v1.0.0.0"));
        QFile pdf(dir.filePath("report.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(pdf.size() > 2000);
    }

    void DroppedFileIsOpened() {
        QTemporaryDir dir;
        TForm1 form(Data("MpegReference.ini").toStdString(), dir.filePath("z.ini").toStdString());
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(Data("sample.mpg"))});
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        form.dropEvent(&drop);
        QCOMPARE(form.FilePath(), Data("sample.mpg"));
        QCOMPARE(form.VerdictText(), QString("Ok!"));
    }

    void ClosingDuringARunClosesOnceTheRunHasReturned() {
        QTemporaryDir dir;
        TForm1 form(Data("MpegReference.ini").toStdString(), dir.filePath("z.ini").toStdString());
        form.show();
        QTimer::singleShot(0, &form, [&] { form.close(); });  // at the first pump of the run
        form.OpenFile(Data("sample.mpg"));
        QVERIFY(!form.isVisible());
        QCOMPARE(form.ReportText().at(form.ReportText().size() - 2), QString("End."));
        QVERIFY(QFile::exists(dir.filePath("z.ini")));  // the settings were written at close
    }

    void SaveWritesCrlfLinesWithTheMark() {
        QTemporaryDir dir;
        TForm1 form(Data("MpegReference.ini").toStdString());
        form.OpenFile(Data("sample.mpg"));
        QString path = dir.filePath("spot.txt");
        QVERIFY(form.SaveReport(path));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QByteArray bytes = saved.readAll();
        QVERIFY(bytes.contains("Compliance Test: Pass\r\n \r\nEnd.\r\n"));
        QCOMPARE(bytes.count("\r\n"), form.ReportText().size());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
