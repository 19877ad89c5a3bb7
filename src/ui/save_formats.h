// The forms the desktop saves a run in: the report as text (as the window shows it), the
// HTML page and the JSON document of the command line's writers, and a PDF for A4 paper
// that starts with the verdict. The save dialog's file types, and the choice of a form by
// the typed extension or the chosen type.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

#include "output/run_stamp.h"
#include "run/run_result.h"

class QFileDialog;
class QTextDocument;

enum class SaveFormat { Text, Html, Json, Pdf };

// The dialog's file types in the order offered, text first: "Text report (*.txt)", ...
QStringList SaveFilters();
QString SaveFilterOf(SaveFormat format);
// "txt", "html", "json", "pdf".
QString SuffixOf(SaveFormat format);
// The form a file type of the dialog stands for; text for one it does not offer.
SaveFormat FormatOfFilter(const QString& filter);
// The form a path's extension names (".htm" too, any letter case); none for another.
std::optional<SaveFormat> FormatOfPath(const QString& path);

struct SaveTarget {
    QString path;
    SaveFormat format = SaveFormat::Text;
};

// A typed extension of one of the forms picks that form; otherwise the chosen type does,
// and a name without any extension gets the type's.
SaveTarget SaveTargetOf(const QString& path, const QString& selectedFilter);

// Sets the dialog up for saving in `format` at `proposed`. Choosing another type
// changes a name's extension of one of the forms to the type's, so that the name shown
// never picks another form than the type shown.
void SetUpSaveDialog(QFileDialog& dialog, const QString& proposed, SaveFormat format);

// The command line's HTML page and JSON document of the run.
std::string HtmlSaveText(const RunResult& result, const RunStamp& stamp);
std::string JsonSaveText(const RunResult& result, const RunStamp& stamp);

// The printed report: the file and profile, the verdict in a coloured banner and the
// failing lines with the keys that judged them, then every line in its colour.
std::unique_ptr<QTextDocument> PrintedReportDocument(const RunResult& result,
                                                     const RunStamp& stamp);
// That document as a PDF on A4.
QByteArray PdfSaveBytes(const RunResult& result, const RunStamp& stamp);
