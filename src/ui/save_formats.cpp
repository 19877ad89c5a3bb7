// The desktop's save forms.
#include "ui/save_formats.h"

#include <QBuffer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QScreen>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <array>

#include "output/html_report.h"
#include "output/json_report.h"
#include "output/key_text.h"
#include "report/report_log.h"
#include "ui/report_colours.h"

namespace {

struct FormatEntry {
    SaveFormat format;
    const char* filter;
    const char* suffix;
};

constexpr std::array<FormatEntry, 4> kFormats = {{
    {SaveFormat::Text, "Text report (*.txt)", "txt"},
    {SaveFormat::Html, "HTML report (*.html)", "html"},
    {SaveFormat::Json, "JSON (*.json)", "json"},
    {SaveFormat::Pdf, "PDF (*.pdf)", "pdf"},
}};

const FormatEntry& EntryOf(SaveFormat format) {
    for (const FormatEntry& entry : kFormats) {
        if (entry.format == format) return entry;
    }
    return kFormats.front();
}

// --- The printed report -----------------------------------------------------------------

QPageLayout A4Layout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                       QPageLayout::Millimeter);
}

// The HTML page's banner shades: white text on them reads at more than 7:1.
QColor BannerColour(FileVerdict verdict) {
    switch (verdict) {
        case FileVerdict::Pass:
            return QColor(0x1b, 0x5e, 0x20);
        case FileVerdict::Fail:
            return QColor(0xb7, 0x1c, 0x1c);
        default:
            return QColor(0x4a, 0x14, 0x8c);
    }
}

QString VerdictWord(FileVerdict verdict) { return QString(VerdictName(verdict)).toUpper(); }

// On paper as in the window: the report's shades, which stand out 3:1 from white.
QTextCharFormat LineFormat(LineKind kind) {
    QTextCharFormat format;
    switch (kind) {
        case LineKind::Pass:
            format.setForeground(ReportColour(LineColour::Green));
            break;
        case LineKind::Fail:
            format.setForeground(ReportColour(LineColour::Red));
            break;
        case LineKind::Warning:
            format.setForeground(ReportColour(LineColour::Yellow));
            break;
        case LineKind::Heading:
        case LineKind::Info:
            format.setForeground(QColor(Qt::black));
            break;
    }
    format.setFontWeight(kind == LineKind::Info ? QFont::Normal : QFont::Bold);
    return format;
}

QTextCharFormat Sized(double points, bool bold, const QColor& colour = Qt::black) {
    QTextCharFormat format;
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setForeground(colour);
    return format;
}

QTextBlockFormat Spaced(double before, double after) {
    QTextBlockFormat format;
    format.setTopMargin(before);
    format.setBottomMargin(after);
    return format;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

void AddFacts(QTextCursor& cursor, const RunResult& result, const RunStamp& stamp) {
    std::vector<std::pair<QString, QString>> facts = {{"File", Text(result.path)}};
    if (result.sizeBytes) facts.push_back({"Size", QString::number(*result.sizeBytes) + " bytes"});
    if (stamp.profilePath.empty()) {
        facts.push_back({"Profile", "none read: no key is set"});
    } else {
        facts.push_back({"Profile", Text(stamp.profilePath)});
        facts.push_back({"Profile SHA-256", Text(stamp.profileSha256)});
    }
    facts.push_back({"Analysed", Text(stamp.analysedAt)});
    QTextTableFormat tableFormat;
    tableFormat.setBorderStyle(QTextFrameFormat::BorderStyle_None);
    tableFormat.setCellPadding(1);
    tableFormat.setCellSpacing(0);
    QTextTable* table = cursor.insertTable(static_cast<int>(facts.size()), 2, tableFormat);
    for (size_t row = 0; row < facts.size(); ++row) {
        int r = static_cast<int>(row);
        table->cellAt(r, 0).firstCursorPosition().insertText(facts[row].first + "  ",
                                                             Sized(9, true));
        table->cellAt(r, 1).firstCursorPosition().insertText(facts[row].second, Sized(9, false));
    }
    cursor.movePosition(QTextCursor::End);
}

void AddBanner(QTextCursor& cursor, const RunResult& result, size_t failures) {
    QTextTableFormat tableFormat;
    tableFormat.setBorderStyle(QTextFrameFormat::BorderStyle_None);
    tableFormat.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    tableFormat.setCellPadding(8);
    tableFormat.setCellSpacing(0);
    tableFormat.setTopMargin(10);
    tableFormat.setBottomMargin(10);
    QTextTable* banner = cursor.insertTable(1, 1, tableFormat);
    QTextTableCell cell = banner->cellAt(0, 0);
    QTextTableCellFormat cellFormat;
    cellFormat.setBackground(BannerColour(result.verdict));
    cell.setFormat(cellFormat);
    QTextCursor inside = cell.firstCursorPosition();
    inside.insertText(VerdictWord(result.verdict), Sized(22, true, Qt::white));
    QStringList notes;
    int verdictLine = VerdictLineIndex(result);
    if (verdictLine >= 0) notes << Text(result.lines[static_cast<size_t>(verdictLine)].text);
    if (!result.reason.empty()) notes << Text(result.reason);
    if (result.verdict == FileVerdict::Fail) {
        notes << QString::number(failures) +
                     (failures == 1 ? " line fails the file." : " lines fail the file.");
    }
    for (const QString& note : notes) {
        inside.insertBlock();
        inside.insertText(note, Sized(10, false, Qt::white));
    }
    cursor.movePosition(QTextCursor::End);
}

void AddHeading(QTextCursor& cursor, const QString& text) {
    cursor.insertBlock(Spaced(8, 3));
    cursor.insertText(text, Sized(12, true));
}

void AddFailures(QTextCursor& cursor, const std::vector<const ResultLine*>& failures) {
    AddHeading(cursor, "Failures (" + QString::number(failures.size()) + ")");
    if (failures.empty()) {
        cursor.insertBlock(Spaced(0, 0));
        cursor.insertText("No line fails the file.", Sized(9, false));
        return;
    }
    for (const ResultLine* line : failures) {
        cursor.insertBlock(Spaced(0, 1));
        QTextCharFormat format = LineFormat(line->kind);
        format.setFontPointSize(9);
        cursor.insertText(Text(line->text), format);
        std::string explained = line->check ? ExplainCheck(*line->check) : "";
        if (!explained.empty()) cursor.insertText("   " + Text(explained), Sized(9, false));
    }
}

void AddReportLines(QTextCursor& cursor, const RunResult& result) {
    AddHeading(cursor, "Report");
    for (const ResultLine& line : result.lines) {
        cursor.insertBlock(Spaced(0, 0));
        QTextCharFormat format = LineFormat(line.kind);
        format.setFontPointSize(8);
        cursor.insertText(Text(line.text), format);
    }
}

}  // namespace

QStringList SaveFilters() {
    QStringList filters;
    for (const FormatEntry& entry : kFormats) filters << entry.filter;
    return filters;
}

QString SaveFilterOf(SaveFormat format) { return EntryOf(format).filter; }

QString SuffixOf(SaveFormat format) { return EntryOf(format).suffix; }

SaveFormat FormatOfFilter(const QString& filter) {
    for (const FormatEntry& entry : kFormats) {
        if (filter == entry.filter) return entry.format;
    }
    return SaveFormat::Text;
}

std::optional<SaveFormat> FormatOfPath(const QString& path) {
    QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "htm") return SaveFormat::Html;
    for (const FormatEntry& entry : kFormats) {
        if (suffix == entry.suffix) return entry.format;
    }
    return std::nullopt;
}

SaveTarget SaveTargetOf(const QString& path, const QString& selectedFilter) {
    if (std::optional<SaveFormat> typed = FormatOfPath(path)) return {path, *typed};
    SaveFormat chosen = FormatOfFilter(selectedFilter);
    // The dialog adds the type's extension to a bare name itself; a name typed elsewhere
    // gets it here.
    if (QFileInfo(path).suffix().isEmpty()) return {path + "." + SuffixOf(chosen), chosen};
    return {path, chosen};
}

void SetUpSaveDialog(QFileDialog& dialog, const QString& proposed, SaveFormat format) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(SaveFilters());
    dialog.selectNameFilter(SaveFilterOf(format));
    dialog.setDefaultSuffix(SuffixOf(format));
    dialog.selectFile(proposed);
    // Qt's own dialog changes the extension itself; a desktop's native one may not.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) {
                         SaveFormat chosen = FormatOfFilter(filter);
                         dialog.setDefaultSuffix(SuffixOf(chosen));
                         const QStringList files = dialog.selectedFiles();
                         if (files.size() != 1 || QFileInfo(files.first()).isDir()) return;
                         QFileInfo typed(files.first());
                         if (!FormatOfPath(typed.fileName())) return;
                         dialog.selectFile(typed.completeBaseName() + "." + SuffixOf(chosen));
                     });
}

std::string HtmlSaveText(const RunResult& result, const RunStamp& stamp) {
    return HtmlReportText(result, stamp);
}

std::string JsonSaveText(const RunResult& result, const RunStamp& stamp) {
    return RunJsonText({FileJsonText(result)}, stamp);
}

std::unique_ptr<QTextDocument> PrintedReportDocument(const RunResult& result,
                                                     const RunStamp& stamp) {
    auto document = std::make_unique<QTextDocument>();
    QFont font = document->defaultFont();
    font.setPointSize(9);
    // No ligatures: a hash or a path copied out of the PDF must read "ff", not one glyph.
    font.setStyleStrategy(QFont::PreferNoShaping);
    document->setDefaultFont(font);
    document->setDocumentMargin(0);
    document->setMetaInformation(
        QTextDocument::DocumentTitle,
        "Zembra: " + VerdictWord(result.verdict) + " " + QFileInfo(Text(result.path)).fileName());
    QTextCursor cursor(document.get());
    cursor.setBlockFormat(Spaced(0, 4));
    cursor.insertText(QFileInfo(Text(result.path)).fileName(), Sized(16, true));
    cursor.insertBlock(Spaced(0, 0));
    AddFacts(cursor, result, stamp);
    std::vector<const ResultLine*> failures = FailureLines(result);
    AddBanner(cursor, result, failures.size());
    AddFailures(cursor, failures);
    AddReportLines(cursor, result);
    // Laid out in the pages it is printed on, at the resolution the fonts are measured in,
    // so that print adds no margins of its own and the pages can be counted here.
    QScreen* screen = QGuiApplication::primaryScreen();
    int dpi = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
    document->setPageSize(A4Layout().paintRectPixels(dpi).size());
    return document;
}

QByteArray PdfSaveBytes(const RunResult& result, const RunStamp& stamp) {
    std::unique_ptr<QTextDocument> document = PrintedReportDocument(result, stamp);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        // Written into memory, so that the file is saved as the other forms are: through a
        // temporary file renamed over it.
        QPdfWriter writer(&buffer);
        writer.setPageLayout(A4Layout());
        writer.setTitle(document->metaInformation(QTextDocument::DocumentTitle));
        writer.setCreator(Text(VersionText()));
        document->print(&writer);
    }
    return bytes;
}
