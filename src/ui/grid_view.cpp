// Grid helpers.
#include "ui/grid_view.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTableView>

#include <algorithm>
#include <map>

namespace {

constexpr int kTallestTitle = 1000;  // room enough for any title wrapped to its lines

}  // namespace

WrappingHeader::WrappingHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setDefaultAlignment(Qt::AlignCenter);
    setTextElideMode(Qt::ElideNone);
    connect(this, &QHeaderView::sectionResized, this, [this] { FitHeight(); });
}

QString WrappingHeader::Title(int logicalIndex) const {
    return model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
}

int WrappingHeader::Margin() const {
    return style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
}

int WrappingHeader::NarrowestSection(int logicalIndex) const {
    int widest = 0;
    for (const QString& word : Title(logicalIndex).split(' ', Qt::SkipEmptyParts)) {
        widest = std::max(widest, fontMetrics().horizontalAdvance(word));
    }
    return widest + 2 * Margin();
}

QSize WrappingHeader::sectionSizeFromContents(int logicalIndex) const {
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    int textWidth = std::max(1, sectionSize(logicalIndex) - 2 * Margin());
    QRect text =
        fontMetrics().boundingRect(QRect(0, 0, textWidth, kTallestTitle),
                                   Qt::AlignCenter | Qt::TextWordWrap, Title(logicalIndex));
    size.setHeight(std::max(size.height(), text.height() + 2 * Margin()));
    return size;
}

void WrappingHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const {
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    // The style hands the alignment to QPainter::drawText, which also takes text flags.
    option->textAlignment =
        Qt::Alignment::fromInt(option->textAlignment.toInt() | Qt::TextWordWrap);
}

void WrappingHeader::FitHeight() {
    int height = 0;
    for (int section = 0; section < count(); ++section) {
        height = std::max(height, sectionSizeFromContents(section).height());
    }
    if (height > 0 && height != minimumHeight()) setMinimumHeight(height);
}

void SetRowHeight(QTableView& grid, int height) {
    QHeaderView* rows = grid.verticalHeader();
    rows->setMinimumSectionSize(height);
    rows->setDefaultSectionSize(height);
    grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int FittedColumnWidth(const QTableView& grid, int column, int designWidth,
                      const QString& widestText) {
    // A cell's text stands inside the focus frame's margin on each side, plus a pixel.
    int cellMargin = grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1;
    int cell = QFontMetrics(grid.font()).horizontalAdvance(widestText) + 2 * cellMargin;
    int title = 0;
    if (auto* header = dynamic_cast<const WrappingHeader*>(grid.horizontalHeader())) {
        title = header->NarrowestSection(column);
    }
    return std::max({designWidth, cell, title});
}

int GridWidthFor(const QTableView& grid, int columnsWidth) {
    int scrollBar =
        grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid.verticalScrollBar());
    return columnsWidth + scrollBar + 2 * grid.frameWidth();
}

Qt::ItemFlags FixedColumnFlags() { return Qt::ItemIsEnabled; }

QBrush FixedColumnBackground() { return QApplication::palette().button(); }

QString SelectedCellsText(const QAbstractItemView& grid) {
    if (!grid.selectionModel()) return {};
    std::map<int, std::map<int, QString>> rows;  // row, column: text, in the grid's order
    for (const QModelIndex& index : grid.selectionModel()->selectedIndexes()) {
        rows[index.row()][index.column()] = index.data().toString();
    }
    QStringList lines;
    for (const auto& [row, cells] : rows) {
        QStringList texts;
        for (const auto& [column, text] : cells) texts << text;
        lines << texts.join('\t');
    }
    return lines.isEmpty() ? QString() : lines.join('\n') + '\n';
}
