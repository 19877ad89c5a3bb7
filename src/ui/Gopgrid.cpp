// GOP table window.
#include "ui/Gopgrid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/grid_view.h"
#include "ui/window_placement.h"
#include "video/video_listener.h"

namespace {

const char* const kTitles[GopTableModel::Count] = {
    "GOP #", "TimeCode", "GOP Length", "Structure", "Closed?", "Seq. Header?", "Broken Link"};
constexpr int kWidths[GopTableModel::Count] = {40, 80, 40, 120, 60, 64, 64};
// The widest text a cell of each column holds; a structure wraps inside its cell.
const char* const kWidestCells[GopTableModel::Count] = {"99999", "00:00:00:00", "999", "",
                                                        "Yes",   "Yes",         "Yes"};
constexpr int kHintMilliseconds = 10000;
constexpr int kRowHeight = 21;
constexpr int kGridLeft = 1;
constexpr int kMinimumHeight = 150;

}  // namespace

int GopTableModel::rowCount(const QModelIndex& parent) const {
    // One empty row after the last GOP, as the grid has always shown.
    return parent.isValid() ? 0 : static_cast<int>(rows_.size()) + 1;
}

int GopTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count;
}

QVariant GopTableModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::TextAlignmentRole) {
        int column = index.column();
        if (column == Number || column == Length) return int(Qt::AlignRight | Qt::AlignVCenter);
        if (column == Structure) return int(Qt::AlignLeft | Qt::AlignVCenter);
        return int(Qt::AlignCenter);
    }
    if (role == Qt::BackgroundRole && index.column() == Number) return FixedColumnBackground();
    if (role != Qt::DisplayRole || index.row() >= static_cast<int>(rows_.size())) return {};
    return rows_[static_cast<size_t>(index.row())].value(index.column());
}

Qt::ItemFlags GopTableModel::flags(const QModelIndex& index) const {
    return index.column() == Number ? FixedColumnFlags() : QAbstractTableModel::flags(index);
}

QVariant GopTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= Count) return {};
    if (role == Qt::DisplayRole) return QString(kTitles[section]);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role == Qt::ToolTipRole && section == Structure) {
        return QString("Determina la estructura\nde los GOPs");
    }
    return {};
}

void GopTableModel::Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void GopTableModel::AddRow(const GopRow& gop) {
    QStringList row;
    row << QString::number(rows_.size() + 1) << QString::fromStdString(gop.timeCode)
        << QString::number(gop.length) << QString::fromStdString(gop.structure)
        << (gop.closed ? "Yes" : "No") << (gop.sequenceHeader ? "Yes" : "No")
        << (gop.brokenLink ? "Yes" : "No");
    int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at);
    rows_.push_back(row);
    endInsertRows();
}

QString GopTableModel::AsText() const {
    QStringList lines;
    QStringList titles;
    for (const char* title : kTitles) titles << title;
    lines << titles.join('\t');
    for (const QStringList& row : rows_) lines << row.join('\t');
    return lines.join('\n') + '\n';
}

TGopForm::TGopForm() : QWidget(nullptr, CloseBoxOnly(Qt::Window)) {
    setWindowTitle("GOPs");
    setGeometry(228, 151, 530, 480);
    GOPStringGrid_ = new QTableView(this);
    auto* header = new WrappingHeader(GOPStringGrid_);
    GOPStringGrid_->setHorizontalHeader(header);
    GOPStringGrid_->setModel(&model_);
    GOPStringGrid_->verticalHeader()->hide();
    GOPStringGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GOPStringGrid_->setWordWrap(true);
    GOPStringGrid_->setStyleSheet("QTableView { background-color: rgb(166, 202, 240); }");
    QFont font("Tahoma");  // the desktop's sans-serif where Tahoma is missing
    font.setPointSize(8);
    GOPStringGrid_->setFont(font);
    SetRowHeight(*GOPStringGrid_, kRowHeight);
    int columnsWidth = 0;
    for (int column = 0; column < GopTableModel::Count; ++column) {
        int width =
            FittedColumnWidth(*GOPStringGrid_, column, kWidths[column], kWidestCells[column]);
        GOPStringGrid_->setColumnWidth(column, width);
        columnsWidth += width;
    }
    header->setStretchLastSection(true);
    header->FitHeight();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kGridLeft, 0, 0, 0);
    layout->addWidget(GOPStringGrid_);
    setFixedWidth(kGridLeft + GridWidthFor(*GOPStringGrid_, columnsWidth));
    setMinimumHeight(kMinimumHeight);
    // The comment on the "Structure" header stays readable for 10 s.
    header->setToolTipDuration(kHintMilliseconds);
    auto* copy = new QAction("Copy", this);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    addAction(copy);
    connect(copy, &QAction::triggered, this, &TGopForm::Copy1Click);
    // Rows are sized to their content as they come while the window is shown, and all
    // at once when it is shown: sizing rows nobody sees would slow the analysis.
    connect(&model_, &QAbstractItemModel::rowsInserted, GOPStringGrid_,
            [this](const QModelIndex&, int first, int) {
                if (isVisible()) GOPStringGrid_->resizeRowToContents(first);
            });
}

void TGopForm::InitGopGrid() { model_.Clear(); }

void TGopForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    GOPStringGrid_->resizeRowsToContents();
}

void TGopForm::AddInfoToRow(const GopRow& row) { model_.AddRow(row); }

void TGopForm::Copy1Click() {
    QString selected = SelectedCellsText(*GOPStringGrid_);
    QApplication::clipboard()->setText(selected.isEmpty() ? model_.AsText() : selected);
}
