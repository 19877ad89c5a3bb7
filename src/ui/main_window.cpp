// Main window.
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QUrl>

#include <cmath>
#include <vector>

#include "reference/Mpeginfo.h"
#include "reference/ini_file.h"
#include "reference/reference_profile.h"
#include "report/report_log.h"
#include "report/report_text_file.h"
#include "run/analysis_driver.h"
#include "ui/anchors.h"
#include "ui/report_colours.h"
#include "ui/window_placement.h"

namespace {

// The client area the control positions are given in, and its smallest window size.
constexpr int kClientWidth = 672;
constexpr int kClientHeight = 474;
// Wide enough for the verdict label beside the four buttons.
constexpr int kMinimumWidth = 680;
constexpr int kMinimumHeight = 300;
constexpr int kDefaultWidth = 680;
constexpr int kDefaultHeight = 520;
// The group boxes' inner design sizes.
constexpr QSize kFileGroupSize(657, 49);
constexpr QSize kProgressGroupSize(kClientWidth, 41);
constexpr int kStatusBarHeight = 18;

constexpr AnchorEdges kLeftTop = Anchor::Left | Anchor::Top;
constexpr AnchorEdges kTopRight = Anchor::Top | Anchor::Right;
constexpr AnchorEdges kLeftBottom = Anchor::Left | Anchor::Bottom;
constexpr AnchorEdges kRightBottom = Anchor::Right | Anchor::Bottom;
constexpr AnchorEdges kWide = Anchor::Left | Anchor::Top | Anchor::Right;
constexpr AnchorEdges kWideBottom = Anchor::Left | Anchor::Right | Anchor::Bottom;
constexpr AnchorEdges kAllSides = Anchor::Left | Anchor::Top | Anchor::Right | Anchor::Bottom;

}  // namespace

TForm1::TForm1(std::string profilePath, std::string settingsPath)
    : profilePath_(std::move(profilePath)),
      settingsPath_(std::move(settingsPath)),
      versionText_(QString::fromStdString(VersionText())) {
    setWindowTitle(versionText_);
    BuildControls();
    BuildMenus();
    resize(kDefaultWidth, kDefaultHeight);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setAcceptDrops(true);
    SetReportSink(this);
    SetVideoListener(&sideWindows_);
    SetLoudnessListener(&sideWindows_);
}

TForm1::~TForm1() {
    SetReportSink(nullptr);
    SetVideoListener(nullptr);
    SetLoudnessListener(nullptr);
}

void TForm1::BuildControls() {
    auto* area = new QWidget(this);
    setCentralWidget(area);
    QFont font = area->font();
    font.setPixelSize(11);
    area->setFont(font);
    auto* anchors = new Anchors(area, QSize(kClientWidth, kClientHeight));

    auto* groupBox1 = new QGroupBox("MPEG File Name", area);
    anchors->Add(groupBox1, QRect(8, 8, 657, 49), kWide);
    auto* fileAnchors = new Anchors(groupBox1, kFileGroupSize);
    FilePathBar_ = new QLineEdit(groupBox1);
    FilePathBar_->setReadOnly(true);
    fileAnchors->Add(FilePathBar_, QRect(8, 16, 561, 21), kWide);
    OpenFileBtn_ = new QPushButton("Open", groupBox1);
    fileAnchors->Add(OpenFileBtn_, QRect(576, 16, 75, 21), kTopRight);

    LogPanel_ = new QTextEdit(area);
    LogPanel_->setReadOnly(true);
    LogPanel_->setLineWrapMode(QTextEdit::NoWrap);
    QPalette palette = LogPanel_->palette();
    palette.setColor(QPalette::Base, ReportBackground());
    LogPanel_->setPalette(palette);
    anchors->Add(LogPanel_, QRect(8, 64, 657, 309), kAllSides);

    AnalyzeBtn_ = new QPushButton("Analyze", area);
    anchors->Add(AnalyzeBtn_, QRect(8, 388, 75, 21), kLeftBottom);
    ButtonCancel_ = new QPushButton("Cancel", area);
    anchors->Add(ButtonCancel_, QRect(88, 388, 75, 21), kLeftBottom);
    GOPbtn_ = new QPushButton("GOPs", area);
    anchors->Add(GOPbtn_, QRect(168, 388, 75, 21), kLeftBottom);
    BitrateBtn_ = new QPushButton("Bitrate", area);
    anchors->Add(BitrateBtn_, QRect(248, 388, 75, 21), kLeftBottom);
    LoudnessBtn_ = new QPushButton("Loudness", area);
    anchors->Add(LoudnessBtn_, QRect(328, 388, 75, 21), kLeftBottom);

    // The label's text ends beside the verdict; it takes the room back to the Loudness
    // button and from the report to the progress box, and wraps onto a second line when
    // the window is too narrow for one.
    auto* label1 = new QLabel("Compliance Test: ", area);
    QFont labelFont = label1->font();
    labelFont.setPixelSize(13);
    label1->setFont(labelFont);
    label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label1->setWordWrap(true);
    label1->setObjectName("Label1");
    anchors->Add(label1, QRect(411, 376, 81, 36), kWideBottom);
    PassPanel_ = new QLabel(area);
    PassPanel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PassPanel_->setLineWidth(2);
    PassPanel_->setAlignment(Qt::AlignCenter);
    PassPanel_->setAutoFillBackground(true);
    QPalette panelPalette = PassPanel_->palette();
    panelPalette.setColor(QPalette::Window, ReportBackground());
    PassPanel_->setPalette(panelPalette);
    QFont verdictFont("Arial");
    verdictFont.setPixelSize(19);
    verdictFont.setItalic(true);
    PassPanel_->setFont(verdictFont);
    anchors->Add(PassPanel_, QRect(496, 379, 89, 30), kRightBottom);
    ExitBtn_ = new QPushButton("Exit", area);
    anchors->Add(ExitBtn_, QRect(592, 388, 75, 21), kRightBottom);

    auto* groupBox2 = new QGroupBox("Analysis Progress", area);
    anchors->Add(groupBox2,
                 QRect(0, kClientHeight - kStatusBarHeight - kProgressGroupSize.height(),
                       kClientWidth, kProgressGroupSize.height()),
                 kWideBottom);
    auto* progressAnchors = new Anchors(groupBox2, kProgressGroupSize);
    ProgressBar1_ = new QProgressBar(groupBox2);
    ProgressBar1_->setRange(0, 100);
    ProgressBar1_->setTextVisible(false);
    progressAnchors->Add(ProgressBar1_, QRect(8, 16, 657, 16), kWideBottom);
    auto* statusBar1 = new QStatusBar(area);
    statusBar1->setSizeGripEnabled(false);
    statusBar1->setObjectName("StatusBar1");
    anchors->Add(statusBar1,
                 QRect(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight),
                 kWideBottom);

    connect(OpenFileBtn_, &QPushButton::clicked, this, &TForm1::OpenFileBtnClick);
    connect(AnalyzeBtn_, &QPushButton::clicked, this, &TForm1::AnalyzeBtnClick);
    connect(ButtonCancel_, &QPushButton::clicked, this, &TForm1::ButtonCancelClick);
    connect(ExitBtn_, &QPushButton::clicked, this, &TForm1::ExitBtnClick);
    connect(GOPbtn_, &QPushButton::clicked, this, &TForm1::GOPbtnClick);
    connect(BitrateBtn_, &QPushButton::clicked, this, &TForm1::BitrateBtnClick);
    connect(LoudnessBtn_, &QPushButton::clicked, this, &TForm1::LoudnessBtnClick);
    LogPanel_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction("Copy", LogPanel_);
    auto* selectAll = new QAction("Select All", LogPanel_);
    LogPanel_->addAction(copy);
    LogPanel_->addAction(selectAll);
    connect(copy, &QAction::triggered, this, &TForm1::Copy1Click);
    connect(selectAll, &QAction::triggered, this, &TForm1::SelectAll1Click);
}

void TForm1::BuildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("Open", this, &TForm1::OpenFileBtnClick);
    file->addSeparator();
    saveAction_ = file->addAction("Save", QKeySequence("Ctrl+S"), this, &TForm1::Save1Click);
    saveAction_->setEnabled(false);  // nothing to save before the first run
    file->addSeparator();
    file->addAction("Print", QKeySequence("Ctrl+P"), this, &TForm1::Print1Click);
    file->addAction("Print Setup", this, &TForm1::PrintSetup1Click);
    file->addSeparator();
    file->addAction("Exit", QKeySequence("Alt+X"), this, &TForm1::ExitBtnClick);
    toolsMenu_ = menuBar()->addMenu("Tools");
    toolsMenu_->addAction("Display GOP Structure", this, &TForm1::GOPbtnClick);
    toolsMenu_->addAction("Bitrate Graphic", this, &TForm1::BitrateBtnClick);
    toolsMenu_->addAction("VBV Buffer Graphic", this, &TForm1::VbvGraphClick);
    toolsMenu_->addAction("Loudness Graphic", this, &TForm1::LoudnessBtnClick);
    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction("Zembra Help")->setEnabled(false);
    help->addSeparator();
    help->addAction("About", this, &TForm1::About1Click);
}

// Bold, colour and height of a report line, the height in points for this screen.
QTextCharFormat TForm1::FormatOf(const ReportLine& line) const {
    QTextCharFormat format;
    format.setFontWeight(line.bold ? QFont::Bold : QFont::Normal);
    format.setForeground(ReportColour(line.colour));
    format.setFontPointSize(std::round(line.heightPx * 72.0 / LogPanel_->logicalDpiY()));
    return format;
}

void TForm1::AppendLine(const ReportLine& line) { InsertLine(lineCount_, line); }

void TForm1::ReplaceLine(int index, const ReportLine& line) {
    if (index < 0 || index >= lineCount_) {
        AppendLine(line);
        return;
    }
    QTextCursor cursor(LogPanel_->document()->findBlockByNumber(index));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(QString::fromStdString(line.text), FormatOf(line));
}

void TForm1::InsertLine(int index, const ReportLine& line) {
    QTextDocument* document = LogPanel_->document();
    QTextCursor cursor(document);
    QString text = QString::fromStdString(line.text);
    if (lineCount_ == 0) {
        cursor.insertText(text, FormatOf(line));
    } else if (index >= lineCount_) {
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
        cursor.insertText(text, FormatOf(line));
    } else {
        cursor = QTextCursor(document->findBlockByNumber(std::max(index, 0)));
        cursor.insertText(text, FormatOf(line));
        cursor.insertBlock();
    }
    ++lineCount_;
}

void TForm1::ClearLines() {
    LogPanel_->clear();
    lineCount_ = 0;
}

void TForm1::ShowStatusText(const std::string& text) {
    centralWidget()
        ->findChild<QStatusBar*>("StatusBar1")
        ->showMessage(QString::fromStdString(text));
}

void TForm1::ShowProgress(int percent) {
    ProgressBar1_->setValue(percent);
    lastProgress_ = percent;
}

void TForm1::ShowVerdict(Verdict verdict) {
    QPalette palette = PassPanel_->palette();
    palette.setColor(QPalette::WindowText,
                     ReportColour(verdict == Verdict::Pass ? LineColour::Green : LineColour::Red));
    PassPanel_->setPalette(palette);
    PassPanel_->setText(verdict == Verdict::Pass ? "Ok!" : verdict == Verdict::Fail ? "Fail!" : "");
}

void TForm1::ShowErrorBox(const std::string& text) { errorBox(QString::fromStdString(text)); }

// Within a phase the reader reports every MiB; letting events run more than a hundred
// times a second would cost the run more than the window gains. A phase's start and end
// (progress 0 and 100) always let them run.
void TForm1::PumpEvents() {
    constexpr qint64 kMinimumPumpIntervalMs = 10;
    bool phaseBoundary = lastProgress_ == 0 || lastProgress_ == 100;
    if (!phaseBoundary && sinceLastPump_.isValid() &&
        sinceLastPump_.elapsed() < kMinimumPumpIntervalMs) {
        return;
    }
    QCoreApplication::processEvents();
    sinceLastPump_.start();
}

QStringList TForm1::ReportText() const {
    QStringList lines;
    QTextBlock block = LogPanel_->document()->firstBlock();
    for (int i = 0; i < lineCount_ && block.isValid(); ++i, block = block.next()) {
        lines << block.text();
    }
    return lines;
}

QString TForm1::FilePath() const { return FilePathBar_->text(); }

QString TForm1::VerdictText() const { return PassPanel_->text(); }

void TForm1::OpenFileBtnClick() {
    if (IsAnalysisRunning()) return;
    QString path = QFileDialog::getOpenFileName(this, "Open", QFileInfo(FilePath()).path(),
                                                "MPEG Video Files (*.mpg *.vob)");
    if (!path.isEmpty()) OpenFile(path);
}

void TForm1::OpenFile(const QString& path) {
    ShowVerdict(Verdict::None);
    FilePathBar_->setText(path);
    setWindowTitle(versionText_ + " - [" + QFileInfo(path).fileName() + "]");
    LoadProfile();
    RunLabelsStep(path.toStdString(), profilePath_);
    Analyze(path);
}

void TForm1::AnalyzeBtnClick() {
    if (IsAnalysisRunning()) return;
    ShowVerdict(Verdict::None);
    LoadProfile();
    Analyze(FilePath());
}

// Read once, so that the saved reports name the SHA-256 of the very bytes that judged.
void TForm1::LoadProfile() {
    profileBytes_ = IniFileReadError(profilePath_) ? std::nullopt : ReadIniFileBytes(profilePath_);
    if (profileBytes_) {
        LoadReferenceProfileFromText(profilePath_, *profileBytes_);
    } else {
        LoadReferenceProfileFrom(profilePath_);  // the report says why it cannot be read
    }
}

// The whole path is handed on: a path cut to 255 characters would name another file.
void TForm1::Analyze(const QString& path) {
    // From here on the kept result is another file's: Save waits for this run's.
    lastResult_.reset();
    saveAction_->setEnabled(false);
    std::string local = path.toLocal8Bit().toStdString();
    RunOptions options;
    options.bufferOccupancy = true;  // the HTML report draws it
    RunResult result = AnalyzeFile(local.c_str(), options);
    // A profile that could not be read judged nothing: the stamp names none.
    lastStamp_ = StampRun(profileBytes_ ? profilePath_ : std::string(),
                          profileBytes_.value_or(std::string()), RunStartTime());
    lastResult_ = std::move(result);
    saveAction_->setEnabled(true);
    if (closeAfterRun_) close();
}

void TForm1::ButtonCancelClick() {
    RequestCancel();
    QCoreApplication::processEvents();
}

void TForm1::ExitBtnClick() {
    RequestCancel();
    QCoreApplication::processEvents();
    close();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!IsAnalysisRunning() && !urls.isEmpty() && urls.first().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void TForm1::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (IsAnalysisRunning() || urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    OpenFile(urls.first().toLocalFile());
}

// The stored geometry is applied before the window first reaches the screen, so that the
// window manager frames it where it was.
void TForm1::setVisible(bool visible) {
    if (visible && !settingsRead_) ReadSettings();
    QMainWindow::setVisible(visible);
}

void TForm1::closeEvent(QCloseEvent* event) {
    RequestCancel();
    QCoreApplication::processEvents();
    if (IsAnalysisRunning()) {
        // The run still uses this window: close once it has returned.
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    // A refused write is shown, and the window still closes: it can always be closed.
    WriteSettings();
    gopForm_.close();
    bitRateForm_.close();
    vbvForm_.close();
    loudnessForm_.close();
    event->accept();
}

// Sizes, then positions centred on the whole desktop by default, window by window.
void TForm1::ReadSettings() {
    settingsRead_ = true;
    IniFile ini = IniFile::Load(settingsPath_);
    QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    auto read = [&](const char* key, int32_t defaultValue) {
        return ini.ReadInt("Application", key, defaultValue);
    };
    // The centring defaults use the size as applied, within the window's limits.
    auto place = [&](QWidget& window, const char* height, int32_t defaultHeight, const char* width,
                     int32_t defaultWidth, const char* top, const char* left) {
        int h = read(height, defaultHeight);
        int w = width ? read(width, defaultWidth) : window.width();
        QSize size = QSize(w, h).expandedTo(window.minimumSize()).boundedTo(window.maximumSize());
        int y = read(top, (desktop.height() - size.height()) / 2);
        int x = read(left, (desktop.width() - size.width()) / 2);
        PlaceWindow(window, size, QPoint(x, y));
    };
    place(*this, "FormHeight", kDefaultHeight, "FormWidth", kDefaultWidth, "FormTop", "FormLeft");
    place(gopForm_, "GOPGridHeight", 480, "GOPGridWidth", 474, "GOPGridTop", "GOPGridLeft");
    place(bitRateForm_, "BitRateGraphHeight", 480, nullptr, 0, "BitRateGraphTop",
          "BitRateGraphLeft");
    place(vbvForm_, "VBVGraphHeight", vbvForm_.height(), "VBVGraphWidth", vbvForm_.width(),
          "VBVGraphTop", "VBVGraphLeft");
    place(loudnessForm_, "LoudnessGraphHeight", loudnessForm_.height(), "LoudnessGraphWidth",
          loudnessForm_.width(), "LoudnessGraphTop", "LoudnessGraphLeft");
    printOnlyErrors_ = ini.ReadInt("Format", "PrintOnlyErrors", 0) != 0;
    SetPrintOnlyErrors(printOnlyErrors_);
    GOPbtn_->setEnabled(!printOnlyErrors_);
    BitrateBtn_->setEnabled(!printOnlyErrors_);
    LoudnessBtn_->setEnabled(!printOnlyErrors_);
    toolsMenu_->setEnabled(!printOnlyErrors_);
    ApplyProcessPriority(ini.Value("Application", "ProcessPriority").value_or("32"));
}

bool TForm1::WriteSettings() {
    auto number = [](int value) { return std::to_string(value); };
    std::vector<IniUpdate> updates = {
        {"Application", "Version", versionText_.toStdString()},
        {"Application", "FormHeight", number(height())},
        {"Application", "FormWidth", number(width())},
        {"Application", "FormTop", number(y())},
        {"Application", "FormLeft", number(x())},
        {"Application", "GOPGridHeight", number(gopForm_.height())},
        {"Application", "GOPGridWidth", number(gopForm_.width())},
        {"Application", "GOPGridTop", number(gopForm_.y())},
        {"Application", "GOPGridLeft", number(gopForm_.x())},
        {"Application", "BitRateGraphHeight", number(bitRateForm_.height())},
        {"Application", "BitRateGraphTop", number(bitRateForm_.y())},
        {"Application", "BitRateGraphLeft", number(bitRateForm_.x())},
        {"Application", "VBVGraphHeight", number(vbvForm_.height())},
        {"Application", "VBVGraphWidth", number(vbvForm_.width())},
        {"Application", "VBVGraphTop", number(vbvForm_.y())},
        {"Application", "VBVGraphLeft", number(vbvForm_.x())},
        {"Application", "LoudnessGraphHeight", number(loudnessForm_.height())},
        {"Application", "LoudnessGraphWidth", number(loudnessForm_.width())},
        {"Application", "LoudnessGraphTop", number(loudnessForm_.y())},
        {"Application", "LoudnessGraphLeft", number(loudnessForm_.x())},
        {"Format", "PrintOnlyErrors", printOnlyErrors_ ? "1" : "0"},
    };
    if (WriteIniValues(settingsPath_, updates)) return true;
    errorBox(QString::fromStdString("Unable to write to " + settingsPath_));
    return false;
}

void TForm1::Save1Click() {
    if (IsAnalysisRunning() || !lastResult_) return;
    QFileInfo analysed(FilePath());
    SaveFormat format = lastSaveFormat_;
    QString suffix = "." + SuffixOf(format);
    QString proposed = FilePath().isEmpty()
                           ? suffix
                           : analysed.path() + "/" + analysed.completeBaseName() + suffix;
    QString path = saveDialog ? saveDialog(proposed, format) : AskSavePath(proposed, format);
    if (path.isEmpty()) return;
    SaveTarget target = SaveTargetOf(path, SaveFilterOf(format));
    lastSaveFormat_ = target.format;
    SaveReport(target.path, target.format);
}

QString TForm1::AskSavePath(const QString& proposed, SaveFormat& format) {
    QFileDialog dialog(this, "Save Zembra to File:");
    SetUpSaveDialog(dialog, proposed, format);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    format = FormatOfFilter(dialog.selectedNameFilter());
    return dialog.selectedFiles().first();
}

bool TForm1::SaveReport(const QString& path) {
    return SaveReport(path, FormatOfPath(path).value_or(SaveFormat::Text));
}

bool TForm1::SaveReport(const QString& path, SaveFormat format) {
    // Only a whole run is saved: never one still being made, nor another file's.
    if (IsAnalysisRunning() || !lastResult_) return false;
    std::string target = path.toStdString();
    bool saved = false;
    switch (format) {
        case SaveFormat::Text: {
            std::vector<std::string> lines;
            for (const QString& line : ReportText()) lines.push_back(line.toStdString());
            saved = SaveTextLines(target, lines);
            break;
        }
        case SaveFormat::Html:
            saved = SaveText(target, HtmlSaveText(*lastResult_, lastStamp_));
            break;
        case SaveFormat::Json:
            saved = SaveText(target, JsonSaveText(*lastResult_, lastStamp_));
            break;
        case SaveFormat::Pdf:
            saved = SaveText(target, PdfSaveBytes(*lastResult_, lastStamp_).toStdString());
            break;
    }
    if (saved) return true;
    errorBox("Unable to write to " + path);
    return false;
}

void TForm1::GOPbtnClick() {
    gopForm_.setWindowTitle(versionText_ + " - GOPs");
    BringForward(gopForm_);
}

void TForm1::BitrateBtnClick() {
    bitRateForm_.setWindowTitle(versionText_ + " - Video Bitrate");
    BringForward(bitRateForm_);
}

void TForm1::VbvGraphClick() {
    vbvForm_.setWindowTitle(versionText_ + " - VBV Buffer");
    BringForward(vbvForm_);
}

void TForm1::LoudnessBtnClick() {
    loudnessForm_.setWindowTitle(versionText_ + " - Loudness");
    BringForward(loudnessForm_);
}

void TForm1::About1Click() {
    aboutBox_.ProductName->setText("Zembra");
    aboutBox_.Version->setText(versionText_);
    aboutBox_.exec();
}

void TForm1::Print1Click() {
    if (IsAnalysisRunning()) return;
    if (!printer_) printer_ = std::make_unique<QPrinter>();
    QPrintDialog dialog(printer_.get(), this);
    if (dialog.exec() == QDialog::Accepted) PrintReport(*printer_);
}

void TForm1::PrintSetup1Click() {
    if (IsAnalysisRunning()) return;
    if (!printer_) printer_ = std::make_unique<QPrinter>();
    QPageSetupDialog(printer_.get(), this).exec();
}

bool TForm1::PrintReport(QPrinter& printer) {
    printer.setDocName("Zembra v1.0.0.0");  // the job's fixed title
    LogPanel_->document()->print(&printer);
    if (printer.printerState() != QPrinter::Error) return true;
    errorBox("Unable to print the report.");
    return false;
}

void TForm1::Copy1Click() { LogPanel_->copy(); }

void TForm1::SelectAll1Click() { LogPanel_->selectAll(); }
