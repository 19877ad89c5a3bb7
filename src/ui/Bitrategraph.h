// The bitrate graph window, TBitRateForm: the video bitrate of each second of the last
// video stream analysed as a red line from the origin, its average as a green line, and
// the same values in a two-column table. Drawn once, when the stream is finished, with
// every second of the stream: showing or closing the window meanwhile keeps the samples
// formed so far.
#pragma once

#include <QAbstractTableModel>
#include <QChartView>
#include <QWidget>
#include <vector>

class QChart;
class GraphView;
class QLineSeries;
class QTableView;

class BitrateTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { Second, Bitrate, Count };

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void SetSamples(std::vector<double> samples);
    QString AsText() const;

  private:
    std::vector<double> samples_;
};

class TBitRateForm : public QWidget {
    Q_OBJECT

  public:
    TBitRateForm();

    void InitBitrateGrid();
    void AddInfoToRow(double kilobits);
    void DrawGraphic(double averageKbps);

    QLineSeries* Series1() const { return series1_; }
    QLineSeries* Series2() const { return series2_; }
    BitrateTableModel& Model() { return model_; }
    QChart* Chart() const;
    QChartView* ChartView() const;
    QTableView* Grid() const { return BRGrid_; }

  public slots:
    void Copy1Click();
    void CopyBitmaptoClipboard1Click();
    void CopyMetafiletoClipboard1Click();
    void UndoZoom1Click();

  private:
    void FitAxes();

    std::vector<double> pending_;
    BitrateTableModel model_;
    GraphView* BRChart_ = nullptr;
    QLineSeries* series1_ = nullptr;
    QLineSeries* series2_ = nullptr;
    QTableView* BRGrid_ = nullptr;
};
