// The Results window's chart as drawn: the limit lines where the limits are, each verdict in its
// colour.
#include <QImage>

#include <gtest/gtest.h>

#include <set>

#include "shell/record_chart.h"
#include "tests/records/sample_records.h"

namespace {

QImage Drawn(RecordChart& chart) {
  chart.resize(chart.sizeHint());
  QImage image(chart.size(), QImage::Format_RGB32);
  chart.render(&image);
  return image;
}

// The columns of `image` in which `colour` appears; of its foot (the bottom 8 rows, where the
// scale is written) when `colour` is invalid, those with dark (written) pixels.
std::set<int> ColumnsOf(const QImage& image, const QColor& colour) {
  std::set<int> columns;
  for (int y = colour.isValid() ? 0 : image.height() - 8; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      if (colour.isValid() ? pixel == colour : pixel.lightness() < 128) columns.insert(x);
    }
  }
  return columns;
}

TEST(RecordChart, HistogramDrawsEachLimitAtItsOhmsAndEachVerdictHasItsColour) {
  RecordChart chart;
  chart.ShowHistogram({{1, 4, 2, 0, 3}, 50, 550, 150, 400});
  const QImage image = Drawn(chart);
  const std::set<int> pass = ColumnsOf(image, RecordChart::PassLimitColour());
  const std::set<int> fail = ColumnsOf(image, RecordChart::FailLimitColour());
  ASSERT_FALSE(pass.empty() || fail.empty());
  EXPECT_LE(std::abs(*pass.begin() - chart.HistogramX(150)), 1);
  EXPECT_LE(*pass.rbegin() - *pass.begin(), 2);  // one line, not spread
  EXPECT_LE(std::abs(*fail.begin() - chart.HistogramX(400)), 1);
  EXPECT_GT(chart.HistogramX(400), chart.HistogramX(150));
  EXPECT_FALSE(ColumnsOf(image, QColor()).empty()) << "no scale";
  // Each bin's bar (100 ohms wide) as high as its count against the highest, bin 1's.
  const auto barHeight = [&](int bin) {
    const int x = chart.HistogramX(100 + 100 * bin);
    int height = 0;
    for (int y = 0; y < image.height(); ++y)
      height +=
          image.pixelColor(x, y) == image.pixelColor(chart.HistogramX(200), image.height() / 2);
    return height;
  };
  for (const auto& [bin, count] : {std::pair{0, 1}, {1, 4}, {2, 2}, {3, 0}, {4, 3}})
    EXPECT_NEAR(barHeight(bin) * 4.0 / barHeight(1), count, 0.1) << bin;

  chart.ShowHistogram({{1, 4, 2, 0, 3}, 50, 550, std::nullopt, std::nullopt});
  EXPECT_TRUE(ColumnsOf(Drawn(chart), RecordChart::PassLimitColour()).empty());

  // Over time, each verdict in its colour, and time runs to the right: the fail between the two
  // passes.
  chart.ShowSeries({{SampleTime(0), 100, RunOutcome::Pass},
                    {SampleTime(1), 1200, RunOutcome::Fail},
                    {SampleTime(2), 400, RunOutcome::Pass}});
  const QImage series = Drawn(chart);
  const std::set<int> passes = ColumnsOf(series, RecordChart::OutcomeColour(RunOutcome::Pass));
  const std::set<int> fails = ColumnsOf(series, RecordChart::OutcomeColour(RunOutcome::Fail));
  ASSERT_FALSE(passes.empty() || fails.empty());
  EXPECT_TRUE(ColumnsOf(series, RecordChart::OutcomeColour(RunOutcome::BetweenLimits)).empty());
  EXPECT_LT(*passes.begin(), *fails.begin());
  EXPECT_GT(*passes.rbegin(), *fails.rbegin());
  // The fail's dot is big enough to see, across and up.
  for (const QImage& turned : {series, series.transformed(QTransform().rotate(90))}) {
    const std::set<int> dot = ColumnsOf(turned, RecordChart::OutcomeColour(RunOutcome::Fail));
    EXPECT_GE(*dot.rbegin() - *dot.begin(), 2);
  }
  EXPECT_FALSE(ColumnsOf(series, QColor()).empty()) << "no scale";
  // Every verdict has a colour of its own.
  std::set<QRgb> colours;
  for (const RunOutcome outcome : {RunOutcome::Pass, RunOutcome::Fail, RunOutcome::BetweenLimits,
                                   RunOutcome::NoReading, RunOutcome::Stopped, RunOutcome::Error})
    colours.insert(RecordChart::OutcomeColour(outcome).rgb());
  EXPECT_EQ(colours.size(), 6U);
}

}  // namespace
