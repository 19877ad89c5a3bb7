// Save in the main window on the offscreen platform: the four forms from the window's
// last run (text as the window has always saved it, the HTML page, the JSON document, a
// PDF), the form picked by the typed extension or the chosen type, the run kept and
// cleared, and Save refused while a run is going and before the first.
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <nlohmann/json.hpp>

#include "run/analysis_driver.h"
#include "ui/main_window.h"
#include "ui/report_colours.h"
#include "ui/save_formats.h"

Q_DECLARE_METATYPE(SaveFormat)

namespace {

QString Fixture(const char* name) { return QString(ZEMBRA_FIXTURE_DIR "/") + name; }

// Judged by its horizontal size alone: imx_422p_ml.mpg (720 wide) passes, hd_720p50.mpg
// (1280 wide) fails.
constexpr char kProfile[] = "[Video]\nHorizontalSize=720\n";

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The text form as the window saved it before there were other forms: each line the
// window shows, in UTF-8, with CRLF.
QByteArray WindowText(const TForm1& form) {
    QByteArray text;
    for (const QString& line : form.ReportText()) text += line.toUtf8() + "\r\n";
    return text;
}

nlohmann::json ParsedJson(const QString& path) {
    return nlohmann::json::parse(Read(path).toStdString(), nullptr, false);
}

QStringList JsonLineTexts(const nlohmann::json& file) {
    QStringList texts;
    for (const nlohmann::json& line : file.at("lines")) {
        texts << QString::fromStdString(line.at("text").get<std::string>());
    }
    return texts;
}

}  // namespace

class SaveTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    QString profile_;

    std::unique_ptr<TForm1> NewForm() {
        auto form = std::make_unique<TForm1>(profile_.toStdString(),
                                             dir_.filePath("zembra.ini").toStdString());
        form->errorBox = [](const QString& text) { QFAIL(qPrintable("error box: " + text)); };
        return form;
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        profile_ = dir_.filePath("MpegReference.ini");
        Write(profile_, kProfile);
    }

    void TheFourTypesInTheirOrder() {
        QCOMPARE(SaveFilters(), QStringList({"Text report (*.txt)", "HTML report (*.html)",
                                             "JSON (*.json)", "PDF (*.pdf)"}));
    }

    // A typed extension of a form wins over the chosen type; a bare name takes the type's.
    void TypedExtensionOrChosenType_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<SaveFormat>("chosen");
        QTest::addColumn<QString>("written");
        QTest::addColumn<SaveFormat>("format");
        QTest::newRow("txt over html")
            << "/r/spot.txt" << SaveFormat::Html << "/r/spot.txt" << SaveFormat::Text;
        QTest::newRow("HTM in capitals")
            << "/r/spot.HTM" << SaveFormat::Text << "/r/spot.HTM" << SaveFormat::Html;
        QTest::newRow("json over pdf")
            << "/r/spot.json" << SaveFormat::Pdf << "/r/spot.json" << SaveFormat::Json;
        QTest::newRow("pdf over text")
            << "/r/spot.pdf" << SaveFormat::Text << "/r/spot.pdf" << SaveFormat::Pdf;
        QTest::newRow("bare name, pdf")
            << "/r/spot" << SaveFormat::Pdf << "/r/spot.pdf" << SaveFormat::Pdf;
        QTest::newRow("bare name, text")
            << "/r/spot" << SaveFormat::Text << "/r/spot.txt" << SaveFormat::Text;
        QTest::newRow("other extension kept")
            << "/r/spot.v2" << SaveFormat::Json << "/r/spot.v2" << SaveFormat::Json;
        QTest::newRow("dotted folder")
            << "/r/q.c/spot" << SaveFormat::Html << "/r/q.c/spot.html" << SaveFormat::Html;
    }
    void TypedExtensionOrChosenType() {
        QFETCH(QString, typed);
        QFETCH(SaveFormat, chosen);
        QFETCH(QString, written);
        QFETCH(SaveFormat, format);
        SaveTarget target = SaveTargetOf(typed, SaveFilterOf(chosen));
        QCOMPARE(target.path, written);
        QCOMPARE(target.format, format);
    }

    // Choosing another type in the dialog changes the proposed name's extension with it:
    // "spot.txt" left in the name would otherwise save text under the PDF type.
    void ChoosingATypeChangesTheProposedExtension() {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        SetUpSaveDialog(dialog, dir_.filePath("spot.txt"), SaveFormat::Text);
        QCOMPARE(dialog.nameFilters(), SaveFilters());
        QCOMPARE(dialog.selectedNameFilter(), QString("Text report (*.txt)"));
        auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
        QVERIFY(types);
        QTest::keyClick(types, Qt::Key_End);
        QCOMPARE(dialog.selectedNameFilter(), QString("PDF (*.pdf)"));
        QCOMPARE(QFileInfo(dialog.selectedFiles().value(0)).fileName(), QString("spot.pdf"));
        QTest::keyClick(types, Qt::Key_Up);
        QTest::keyClick(types, Qt::Key_Up);
        QCOMPARE(dialog.selectedNameFilter(), QString("HTML report (*.html)"));
        QCOMPARE(QFileInfo(dialog.selectedFiles().value(0)).fileName(), QString("spot.html"));
        QCOMPARE(FormatOfFilter(dialog.selectedNameFilter()), SaveFormat::Html);
    }

    void NothingToSaveBeforeTheFirstRun() {
        auto form = NewForm();
        QVERIFY(!form->SaveAction()->isEnabled());
        bool asked = false;
        form->saveDialog = [&](const QString&, SaveFormat&) {
            asked = true;
            return dir_.filePath("never.txt");
        };
        form->Save1Click();
        QVERIFY(!asked);
        QVERIFY(!form->SaveReport(dir_.filePath("never.json")));
        QVERIFY(!QFile::exists(dir_.filePath("never.txt")));
        QVERIFY(!QFile::exists(dir_.filePath("never.json")));
    }

    // The text is the window's report byte for byte, saved the way it always was; the
    // other forms are the writers' over the run the window kept.
    void EachTypeThroughTheDialog() {
        auto form = NewForm();
        form->OpenFile(Fixture("hd_720p50.mpg"));
        QCOMPARE(form->VerdictText(), QString("Fail!"));
        QVERIFY(form->SaveAction()->isEnabled());
        QString proposedFirst;
        QString chosenPath;
        SaveFormat chosenType = SaveFormat::Text;
        form->saveDialog = [&](const QString& proposed, SaveFormat& format) {
            if (proposedFirst.isEmpty()) proposedFirst = proposed;
            format = chosenType;
            return chosenPath;
        };
        auto save = [&](const QString& name, SaveFormat type) {
            chosenPath = dir_.filePath(name);
            chosenType = type;
            form->Save1Click();
        };
        save("each.txt", SaveFormat::Text);
        save("each", SaveFormat::Html);
        save("each.json", SaveFormat::Json);
        save("each", SaveFormat::Pdf);
        QCOMPARE(proposedFirst, Fixture("hd_720p50.txt"));

        QCOMPARE(Read(dir_.filePath("each.txt")), WindowText(*form));
        QVERIFY(Read(dir_.filePath("each.txt")).contains("Compliance Test: Fail!!\r\n"));

        QByteArray html = Read(dir_.filePath("each.html"));
        QVERIFY(html.startsWith("<!DOCTYPE html>"));
        QVERIFY(html.contains("<section class=\"banner fail\""));
        QVERIFY(html.contains("<p class=\"word\">FAIL</p>"));
        QVERIFY(html.contains(">hd_720p50.mpg</h1>"));
        QVERIFY(html.contains("*Horizontal Size = 1280"));

        nlohmann::json json = ParsedJson(dir_.filePath("each.json"));
        QVERIFY(!json.is_discarded());
        QCOMPARE(json.at("files").size(), size_t(1));
        const nlohmann::json& file = json.at("files").at(0);
        QCOMPARE(file.at("path").get<std::string>(), Fixture("hd_720p50.mpg").toStdString());
        QCOMPARE(file.at("verdict").get<std::string>(), std::string("fail"));
        QCOMPARE(JsonLineTexts(file), form->ReportText());

        QByteArray pdf = Read(dir_.filePath("each.pdf"));
        QVERIFY(pdf.startsWith("%PDF-"));
        QVERIFY(pdf.trimmed().endsWith("%%EOF"));
        QVERIFY2(pdf.size() > 10000, qPrintable(QString::number(pdf.size())));

        // The next Save starts on the type last saved in.
        QString proposedNext;
        SaveFormat offered = SaveFormat::Text;
        form->saveDialog = [&](const QString& proposed, SaveFormat& format) {
            proposedNext = proposed;
            offered = format;
            return QString();
        };
        form->Save1Click();
        QCOMPARE(proposedNext, Fixture("hd_720p50.pdf"));
        QCOMPARE(offered, SaveFormat::Pdf);
    }

    // The machine forms name the profile that judged, by path and by the SHA-256 of its
    // bytes, and when the run started, as the command line's do.
    void TheStampNamesTheProfileRead() {
        auto form = NewForm();
        std::time_t before = std::time(nullptr);
        form->OpenFile(Fixture("imx_422p_ml.mpg"));
        QCOMPARE(form->VerdictText(), QString("Ok!"));
        QString sha = QCryptographicHash::hash(kProfile, QCryptographicHash::Sha256).toHex();
        QCOMPARE(QString::fromStdString(form->LastStamp().profileSha256), sha);
        QVERIFY(form->SaveReport(dir_.filePath("stamp.json")));
        QVERIFY(form->SaveReport(dir_.filePath("stamp.html")));
        nlohmann::json json = ParsedJson(dir_.filePath("stamp.json"));
        QCOMPARE(json.at("profile").get<std::string>(), profile_.toStdString());
        QCOMPARE(QString::fromStdString(json.at("profileSha256").get<std::string>()), sha);
        QDateTime at = QDateTime::fromString(
            QString::fromStdString(json.at("analysedAt").get<std::string>()), Qt::ISODate);
        QVERIFY(at.isValid());
        QVERIFY(at.toSecsSinceEpoch() >= before - 1 && at.toSecsSinceEpoch() <= std::time(nullptr));
        QCOMPARE(json.at("files").at(0).at("verdict").get<std::string>(), std::string("pass"));
        QByteArray html = Read(dir_.filePath("stamp.html"));
        QVERIFY(html.contains(sha.toUtf8()));
        QVERIFY(html.contains("<section class=\"banner pass\""));
    }

    // A profile edited after the run does not change the hash of the one that judged.
    void AProfileEditedAfterTheRunKeepsItsHash() {
        QString own = dir_.filePath("edited.ini");
        Write(own, kProfile);
        TForm1 form(own.toStdString(), dir_.filePath("zembra.ini").toStdString());
        form.OpenFile(Fixture("imx_422p_ml.mpg"));
        Write(own, "[Video]\nHorizontalSize=1280\n");
        QVERIFY(form.SaveReport(dir_.filePath("edited.json")));
        nlohmann::json json = ParsedJson(dir_.filePath("edited.json"));
        QCOMPARE(QString::fromStdString(json.at("profileSha256").get<std::string>()),
                 QString(QCryptographicHash::hash(kProfile, QCryptographicHash::Sha256).toHex()));
    }

    // A profile that cannot be read judged nothing: the saved forms name none.
    void AnUnreadableProfileIsNamedAsNone() {
        TForm1 form(dir_.filePath("missing.ini").toStdString(),
                    dir_.filePath("zembra.ini").toStdString());
        form.OpenFile(Fixture("imx_422p_ml.mpg"));
        QVERIFY(form.SaveReport(dir_.filePath("none.json")));
        nlohmann::json json = ParsedJson(dir_.filePath("none.json"));
        QVERIFY(json.at("profile").is_null());
        QVERIFY(json.at("profileSha256").is_null());
        QCOMPARE(JsonLineTexts(json.at("files").at(0)), form.ReportText());
    }

    // After a second run every form holds the second file, none the first.
    void ASecondRunIsWhatIsSaved() {
        auto form = NewForm();
        form->OpenFile(Fixture("hd_720p50.mpg"));
        form->OpenFile(Fixture("imx_422p_ml.mpg"));
        QCOMPARE(form->LastResult()->path, Fixture("imx_422p_ml.mpg").toStdString());
        for (const char* name : {"second.txt", "second.html", "second.json"}) {
            QVERIFY(form->SaveReport(dir_.filePath(name)));
            QByteArray bytes = Read(dir_.filePath(name));
            QVERIFY2(bytes.contains("imx_422p_ml.mpg"), name);
            QVERIFY2(!bytes.contains("hd_720p50"), name);
        }
        QCOMPARE(Read(dir_.filePath("second.txt")), WindowText(*form));
        nlohmann::json json = ParsedJson(dir_.filePath("second.json"));
        QCOMPARE(json.at("files").at(0).at("verdict").get<std::string>(), std::string("pass"));
        QCOMPARE(JsonLineTexts(json.at("files").at(0)), form->ReportText());
    }

    // While a run is going there is nothing whole to save: the command is disabled, the
    // dialog never opens, and a file already there is left as it was.
    void SaveWhileRunningDoesNothing() {
        auto form = NewForm();
        form->OpenFile(Fixture("hd_720p50.mpg"));
        QString existing = dir_.filePath("busy.txt");
        Write(existing, "kept");
        bool asked = false;
        form->saveDialog = [&](const QString&, SaveFormat&) {
            asked = true;
            return existing;
        };
        bool checked = false;
        QTimer::singleShot(0, form.get(), [&] {
            QVERIFY(IsAnalysisRunning());
            QVERIFY(!form->SaveAction()->isEnabled());
            QVERIFY(!form->LastResult());
            form->SaveAction()->trigger();
            form->Save1Click();
            for (SaveFormat format :
                 {SaveFormat::Text, SaveFormat::Html, SaveFormat::Json, SaveFormat::Pdf}) {
                QVERIFY(!form->SaveReport(existing, format));
            }
            checked = true;
        });
        form->OpenFile(Fixture("imx_422p_ml.mpg"));
        QVERIFY(checked);
        QVERIFY(!asked);
        QCOMPARE(Read(existing), QByteArray("kept"));
        QVERIFY(form->SaveAction()->isEnabled());
        form->Save1Click();
        QVERIFY(asked);
        QCOMPARE(Read(existing), WindowText(*form));
        QVERIFY(Read(existing).contains("imx_422p_ml.mpg"));
    }

    // A cancelled run keeps what it returned, and a file that cannot be analysed its
    // error: Save never falls back on the run before.
    void ACancelledOrFailedRunIsWhatIsSaved() {
        auto form = NewForm();
        form->OpenFile(Fixture("imx_422p_ml.mpg"));
        QTimer::singleShot(0, form.get(), [&] {
            QTimer::singleShot(0, form.get(), [&] { form->ButtonCancelClick(); });
        });
        form->OpenFile(Fixture("hd_720p50.mpg"));
        QVERIFY(form->LastResult());
        QCOMPARE(form->LastResult()->verdict, FileVerdict::Interrupted);
        QVERIFY(form->SaveReport(dir_.filePath("cancelled.json")));
        nlohmann::json json = ParsedJson(dir_.filePath("cancelled.json"));
        QCOMPARE(json.at("files").at(0).at("verdict").get<std::string>(),
                 std::string("interrupted"));
        QCOMPARE(JsonLineTexts(json.at("files").at(0)), form->ReportText());

        QStringList errors;
        form->errorBox = [&](const QString& text) { errors << text; };
        form->OpenFile(dir_.filePath("no such spot.mpg"));
        QCOMPARE(form->LastResult()->verdict, FileVerdict::Error);
        QVERIFY(form->SaveAction()->isEnabled());
        QVERIFY(form->SaveReport(dir_.filePath("error.html")));
        QByteArray html = Read(dir_.filePath("error.html"));
        QVERIFY(html.contains("<section class=\"banner error\""));
        QVERIFY(html.contains("no such spot.mpg"));
        QVERIFY(!html.contains("hd_720p50"));
    }

    // The printed form opens on the verdict: the banner is on the first page of a report
    // that takes more than one, and each line keeps the colour the window gives its kind.
    void ThePdfOpensOnTheVerdict() {
        auto form = NewForm();
        form->OpenFile(Fixture("hd_720p50.mpg"));
        std::unique_ptr<QTextDocument> document =
            PrintedReportDocument(*form->LastResult(), form->LastStamp());
        QVERIFY(document->pageCount() > 1);
        const qreal pageHeight = document->pageSize().height();
        QTextBlock banner;
        QList<QTextCharFormat> failures;  // in the failure list, then in the report
        for (QTextBlock b = document->firstBlock(); b.isValid(); b = b.next()) {
            if (!banner.isValid() && b.text() == "FAIL") banner = b;
            if (b.text().startsWith("*Horizontal Size = 1280")) {
                failures << b.begin().fragment().charFormat();
            }
        }
        QVERIFY(banner.isValid());
        QCOMPARE(failures.size(), 2);
        QRectF at = document->documentLayout()->blockBoundingRect(banner);
        QVERIFY2(at.bottom() < pageHeight, qPrintable(QString::number(at.bottom())));
        QCOMPARE(banner.begin().fragment().charFormat().foreground().color(), QColor(Qt::white));
        for (const QTextCharFormat& failure : failures) {
            QCOMPARE(failure.foreground().color(), ReportColour(LineColour::Red));
            QCOMPARE(failure.fontWeight(), int(QFont::Bold));
        }
        QVERIFY(document->toPlainText().contains("Compliance Test: Fail!!"));
        // A ligature would turn "ff" of a hash copied out of the PDF into one character.
        QVERIFY(document->defaultFont().styleStrategy() & QFont::PreferNoShaping);
        QVERIFY(document->toPlainText().contains(
            QString::fromStdString(form->LastStamp().profileSha256)));
    }

    // Every form goes through a temporary file: a symlink is followed, not replaced, and
    // a folder that is not there leaves an error and no file.
    void SavedThroughTheLinkAndRefusedWhereItCannotBe() {
        auto form = NewForm();
        form->OpenFile(Fixture("imx_422p_ml.mpg"));
        QString target = dir_.filePath("target.pdf");
        Write(target, "old");
        QString link = dir_.filePath("link.pdf");
        QVERIFY(QFile::link(target, link));
        QVERIFY(form->SaveReport(link));
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(Read(target).startsWith("%PDF-"));

        QStringList errors;
        form->errorBox = [&](const QString& text) { errors << text; };
        QString nowhere = dir_.filePath("missing/folder/spot.html");
        QVERIFY(!form->SaveReport(nowhere));
        QCOMPARE(errors, QStringList({"Unable to write to " + nowhere}));
    }
};

QTEST_MAIN(SaveTest)
#include "save_test.moc"
