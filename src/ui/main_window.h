// The main window, TForm1: the file path, the coloured report, the verdict panel, the
// progress and status bars, and the commands that open, analyse, cancel and save. It is
// the report log's sink while the application runs.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <QTextCharFormat>

#include <functional>
#include <memory>
#include <optional>

#include "audio/loudness_listener.h"
#include "output/run_stamp.h"
#include "reference/reference_profile.h"
#include "report/report_sink.h"
#include "run/run_result.h"
#include "ui/Bitrategraph.h"
#include "ui/Gopgrid.h"
#include "ui/Loudnessgraph.h"
#include "ui/Vbvgraph.h"
#include "ui/about_box.h"
#include "ui/save_formats.h"
#include "ui/settings.h"
#include "video/video_listener.h"

class QAction;
class QPrinter;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTextEdit;

class TForm1 : public QMainWindow, public ReportSink {
    Q_OBJECT

  public:
    // `profilePath`: the reference profile to load before each run.
    explicit TForm1(std::string profilePath = DefaultReferenceProfilePath(),
                    std::string settingsPath = DefaultSettingsPath());
    ~TForm1() override;

    // ReportSink: the report log's lines, status, progress, verdict and error boxes.
    void AppendLine(const ReportLine& line) override;
    void ReplaceLine(int index, const ReportLine& line) override;
    void InsertLine(int index, const ReportLine& line) override;
    void ClearLines() override;
    void ShowStatusText(const std::string& text) override;
    void ShowProgress(int percent) override;
    void ShowVerdict(Verdict verdict) override;
    void ShowErrorBox(const std::string& text) override;
    void PumpEvents() override;

    // The Open command after its dialog: the chosen file is shown, the profile reloaded,
    // the labels step run, and the file analysed.
    void OpenFile(const QString& path);
    // The report as plain text lines, failure lines with their "*".
    QStringList ReportText() const;

    QString FilePath() const;
    QString VerdictText() const;
    QTextEdit* LogPanel() const { return LogPanel_; }
    // What the last run returned and the stamp of the profile it read; none while a run
    // is going and before the first.
    const std::optional<RunResult>& LastResult() const { return lastResult_; }
    const RunStamp& LastStamp() const { return lastStamp_; }
    QAction* SaveAction() const { return saveAction_; }
    // Saves the last run in the form the path's extension names (text for another), or in
    // `format`; refused while a run is going and before the first. Text is the report as
    // the window shows it, CRLF line ends.
    bool SaveReport(const QString& path);
    bool SaveReport(const QString& path, SaveFormat format);
    // The report with its colours and heights as one job titled "Zembra v1.0.0.0".
    bool PrintReport(QPrinter& printer);

    // The modal error box titled "Error" with one OK button; tests put their own here.
    std::function<void(const QString&)> errorBox = [this](const QString& text) {
        QMessageBox::critical(this, "Error", text);
    };
    // The Save dialog, with the path it proposes and the type it starts on; it returns
    // the chosen path (empty when cancelled) and sets the chosen type. Tests put their own
    // here.
    std::function<QString(const QString& proposed, SaveFormat& format)> saveDialog;

    TGopForm& GopForm() { return gopForm_; }
    TBitRateForm& BitRateForm() { return bitRateForm_; }
    TVbvForm& VbvForm() { return vbvForm_; }
    TLoudnessForm& LoudnessForm() { return loudnessForm_; }
    TAboutBox& AboutBox() { return aboutBox_; }

    // A file dropped on the window is opened as if chosen in the Open dialog.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  public slots:
    void OpenFileBtnClick();
    void GOPbtnClick();
    void BitrateBtnClick();
    void VbvGraphClick();
    void LoudnessBtnClick();
    void About1Click();
    void AnalyzeBtnClick();
    void ButtonCancelClick();
    void ExitBtnClick();
    void Save1Click();
    void Print1Click();
    void PrintSetup1Click();
    void Copy1Click();
    void SelectAll1Click();

    void setVisible(bool visible) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildControls();
    void BuildMenus();
    void Analyze(const QString& path);
    void LoadProfile();
    QString AskSavePath(const QString& proposed, SaveFormat& format);
    QTextCharFormat FormatOf(const ReportLine& line) const;
    void ReadSettings();
    bool WriteSettings();

    QLineEdit* FilePathBar_ = nullptr;
    QPushButton* OpenFileBtn_ = nullptr;
    QTextEdit* LogPanel_ = nullptr;
    QPushButton* AnalyzeBtn_ = nullptr;
    QPushButton* ButtonCancel_ = nullptr;
    QPushButton* GOPbtn_ = nullptr;
    QPushButton* BitrateBtn_ = nullptr;
    QPushButton* LoudnessBtn_ = nullptr;
    QLabel* PassPanel_ = nullptr;
    QPushButton* ExitBtn_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;
    std::string profilePath_;
    std::string settingsPath_;
    bool settingsRead_ = false;
    bool printOnlyErrors_ = false;
    QMenu* toolsMenu_ = nullptr;
    std::unique_ptr<QPrinter> printer_;  // kept between Print Setup and Print
    QAction* saveAction_ = nullptr;
    std::optional<RunResult> lastResult_;
    RunStamp lastStamp_;
    std::optional<std::string> profileBytes_;  // as the last load read them; none: unreadable
    SaveFormat lastSaveFormat_ = SaveFormat::Text;
    QString versionText_;
    // The side windows receive the video statistics' rows while a stream is parsed, and
    // each decoded audio stream's loudness curve.
    class SideWindows : public VideoListener, public LoudnessListener {
      public:
        SideWindows(TGopForm& gops, TBitRateForm& bitrates, TVbvForm& vbv, TLoudnessForm& loudness)
            : gops_(gops), bitrates_(bitrates), vbv_(vbv), loudness_(loudness) {}
        void InitGopGrid() override { gops_.InitGopGrid(); }
        void AddGopRow(const GopRow& row) override { gops_.AddInfoToRow(row); }
        void InitBitrateGrid() override { bitrates_.InitBitrateGrid(); }
        void AddBitrateSample(double kilobits) override { bitrates_.AddInfoToRow(kilobits); }
        void DrawBitrateGraph(double averageKbps) override { bitrates_.DrawGraphic(averageKbps); }
        void InitVbvGraph() override { vbv_.InitVbvGraph(); }
        void AddVbvSample(const VbvSample& sample) override { vbv_.AddSample(sample); }
        void DrawVbvGraph(double bufferBits) override { vbv_.DrawGraphic(bufferBits); }
        void BeginLoudnessCurve(int) override { loudness_.InitLoudnessGraph(); }
        void AddLoudnessPoint(const LoudnessPoint& point) override { loudness_.AddPoint(point); }
        void DrawLoudnessGraph(double targetLufs, double toleranceLu) override {
            loudness_.DrawGraphic(targetLufs, toleranceLu);
        }

      private:
        TGopForm& gops_;
        TBitRateForm& bitrates_;
        TVbvForm& vbv_;
        TLoudnessForm& loudness_;
    };

    TAboutBox aboutBox_;
    TGopForm gopForm_;
    TBitRateForm bitRateForm_;
    TVbvForm vbvForm_;
    TLoudnessForm loudnessForm_;
    SideWindows sideWindows_{gopForm_, bitRateForm_, vbvForm_, loudnessForm_};
    int lineCount_ = 0;
    int lastProgress_ = 0;
    QElapsedTimer sinceLastPump_;
    bool closeAfterRun_ = false;
};
