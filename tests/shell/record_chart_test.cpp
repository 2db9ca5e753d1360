// The Results window's chart as drawn: the limit lines where the limits are, each verdict in its
// colour.
#include <QImage>

#include <gtest/gtest.h>

#include <set>

#include "shell/record_chart.h"

namespace {

QImage Drawn(RecordChart& chart) {
  chart.resize(chart.sizeHint());
  QImage image(chart.size(), QImage::Format_RGB32);
  chart.render(&image);
  return image;
}

// The columns of `image` in which `colour` appears.
std::set<int> ColumnsOf(const QImage& image, const QColor& colour) {
  std::set<int> columns;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) == colour) columns.insert(x);
    }
  }
  return columns;
}

// Whether the chart's foot, where its scale is written, holds dark (written) pixels.
bool ScaleWritten(const QImage& image) {
  for (int y = image.height() - 8; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y).lightness() < 128) return true;
    }
  }
  return false;
}

TEST(RecordChart, HistogramDrawsEachLimitAcrossAtItsOhms) {
  RecordChart chart;
  chart.ShowHistogram({{1, 4, 2, 0, 3}, 50, 550, 150, 400});
  const QImage image = Drawn(chart);
  const std::set<int> pass = ColumnsOf(image, RecordChart::PassLimitColour());
  const std::set<int> fail = ColumnsOf(image, RecordChart::FailLimitColour());
  ASSERT_FALSE(pass.empty());
  ASSERT_FALSE(fail.empty());
  EXPECT_LE(std::abs(*pass.begin() - chart.HistogramX(150)), 1);
  EXPECT_LE(*pass.rbegin() - *pass.begin(), 2);  // one line, not spread
  EXPECT_LE(std::abs(*fail.begin() - chart.HistogramX(400)), 1);
  EXPECT_GT(chart.HistogramX(400), chart.HistogramX(150));
  EXPECT_TRUE(ScaleWritten(image));

  chart.ShowHistogram({{1, 4, 2, 0, 3}, 50, 550, std::nullopt, std::nullopt});
  EXPECT_TRUE(ColumnsOf(Drawn(chart), RecordChart::PassLimitColour()).empty());
}

TEST(RecordChart, OverTimeEachVerdictHasItsColour) {
  const QDateTime start(QDate(2026, 12, 7), QTime(8, 0), Qt::UTC);
  RecordChart chart;
  chart.ShowSeries({{start, 100, RunOutcome::Pass},
                    {start.addSecs(60), 1200, RunOutcome::Fail},
                    {start.addSecs(120), 400, RunOutcome::Pass}});
  const QImage image = Drawn(chart);
  const std::set<int> passes = ColumnsOf(image, RecordChart::OutcomeColour(RunOutcome::Pass));
  const std::set<int> fails = ColumnsOf(image, RecordChart::OutcomeColour(RunOutcome::Fail));
  EXPECT_FALSE(passes.empty());
  EXPECT_FALSE(fails.empty());
  EXPECT_TRUE(ColumnsOf(image, RecordChart::OutcomeColour(RunOutcome::BetweenLimits)).empty());
  // Time runs to the right: the fail between the two passes.
  EXPECT_LT(*passes.begin(), *fails.begin());
  EXPECT_GT(*passes.rbegin(), *fails.rbegin());
  EXPECT_TRUE(ScaleWritten(image));
  // Every verdict has a colour of its own.
  std::set<QRgb> colours;
  for (const RunOutcome outcome : {RunOutcome::Pass, RunOutcome::Fail, RunOutcome::BetweenLimits,
                                   RunOutcome::NoReading, RunOutcome::Stopped, RunOutcome::Error})
    colours.insert(RecordChart::OutcomeColour(outcome).rgb());
  EXPECT_EQ(colours.size(), 6U);
}

}  // namespace
