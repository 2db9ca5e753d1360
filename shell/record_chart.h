#pragma once

#include <QColor>
#include <QDateTime>
#include <QWidget>

#include <optional>
#include <vector>

#include "records/production_record.h"

// The Results window's chart, drawn with QPainter: either a histogram of impedance with the pass
// and fail limits drawn across it, or impedance over time with each verdict in its own colour.
class RecordChart : public QWidget {
  Q_OBJECT

 public:
  struct Histogram {
    std::vector<qint64> counts;  // equal bins from lowOhms to highOhms
    double lowOhms = 0;
    double highOhms = 0;
    std::optional<double> passOhms, failOhms;
  };
  struct Point {
    QDateTime time;
    double ohms = 0;
    RunOutcome outcome = RunOutcome::Pass;
  };

  explicit RecordChart(QWidget* parent = nullptr);

  void ShowHistogram(Histogram histogram);
  // Points in any order.
  void ShowSeries(std::vector<Point> points);

  static QColor OutcomeColour(RunOutcome outcome);
  static QColor PassLimitColour() { return QColor(0x00, 0x80, 0x00); }
  static QColor FailLimitColour() { return QColor(0xc0, 0x00, 0x00); }
  // The x at which the histogram draws `ohms`.
  int HistogramX(double ohms) const;

  QSize sizeHint() const override { return {320, 150}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect Plot() const;
  void PaintHistogram(QPainter& painter) const;
  void PaintSeries(QPainter& painter) const;

  bool series_ = false;
  Histogram histogram_;
  std::vector<Point> points_;
};
