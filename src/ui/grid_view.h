// What the GOP table and the bitrate table share: header titles that wrap onto more
// lines instead of being cut, rows of one height, columns wide enough for their text, and
// a Copy that takes the selected cells or, without a selection, every row.
#pragma once

#include <QBrush>
#include <QHeaderView>
#include <QString>
#include <QStringList>

class QAbstractItemView;
class QTableView;

// A horizontal header whose titles wrap at word boundaries; its row is as high as the
// tallest wrapped title.
class WrappingHeader : public QHeaderView {
  public:
    explicit WrappingHeader(QWidget* parent);

    // The narrowest section in which every word of the title fits on a line.
    int NarrowestSection(int logicalIndex) const;
    // Sizes the header's row to its tallest title at the current section widths.
    void FitHeight();

  protected:
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;

  private:
    QString Title(int logicalIndex) const;
    int Margin() const;
};

// Rows of `height` pixels that grow no smaller, the grid's only vertical scroll bar always
// shown (so the columns never lose width to it) and no horizontal one.
void SetRowHeight(QTableView& grid, int height);

// The widest of the design width, the title's longest word and `widestText` in the grid's
// cell font, each with the cell's or header's margins.
int FittedColumnWidth(const QTableView& grid, int column, int designWidth,
                      const QString& widestText);

// The grid's outer width that shows `columnsWidth` of columns beside its vertical scroll
// bar and frame.
int GridWidthFor(const QTableView& grid, int columnsWidth);

// The first column of both grids is a fixed header column: shaded like the titles and
// not selectable, as the row's label rather than its data.
Qt::ItemFlags FixedColumnFlags();
QBrush FixedColumnBackground();

// The selected cells, one line per row with the cells separated by tabs, rows and cells in
// the grid's order; empty when nothing is selected.
QString SelectedCellsText(const QAbstractItemView& grid);
