// The GOP table window, TGopForm: one row per GOP of the video stream being analysed,
// filled while the stream is parsed. The rows live in a table model; the window only
// shows it.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QWidget>
#include <vector>

struct GopRow;
class QTableView;

class GopTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { Number, TimeCode, Length, Structure, Closed, SequenceHeader, BrokenLink, Count };

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void Clear();
    void AddRow(const GopRow& row);
    // Header row and rows, tab-separated, one line each: what Copy puts on the clipboard.
    QString AsText() const;

  private:
    std::vector<QStringList> rows_;
};

class TGopForm : public QWidget {
    Q_OBJECT

  public:
    TGopForm();

    void InitGopGrid();
    void AddInfoToRow(const GopRow& row);
    GopTableModel& Model() { return model_; }
    QTableView* Grid() const { return GOPStringGrid_; }

  public slots:
    void Copy1Click();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    GopTableModel model_;
    QTableView* GOPStringGrid_ = nullptr;
};
