#include "shell/record_chart.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kMargin = 24;
constexpr int kPointRadius = 2;
}  // namespace

RecordChart::RecordChart(QWidget* parent) : QWidget(parent) {
  setMinimumSize(200, 110);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void RecordChart::ShowHistogram(Histogram histogram) {
  series_ = false;
  histogram_ = std::move(histogram);
  update();
}

void RecordChart::ShowSeries(std::vector<Point> points) {
  series_ = true;
  points_ = std::move(points);
  update();
}

QColor RecordChart::OutcomeColour(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Pass:
      return QColor(0x00, 0xa0, 0x00);
    case RunOutcome::Fail:
      return QColor(0xd0, 0x00, 0x00);
    case RunOutcome::BetweenLimits:
      return QColor(0xe0, 0x90, 0x00);
    case RunOutcome::NoReading:
      return QColor(0x80, 0x80, 0x80);
    case RunOutcome::Stopped:
      return QColor(0x40, 0x40, 0xc0);
    case RunOutcome::Error:
      return QColor(0x80, 0x00, 0x80);
  }
  return Qt::black;
}

QRect RecordChart::Plot() const {
  return rect().adjusted(kMargin, kMargin / 2, -kMargin / 2, -kMargin);
}

int RecordChart::HistogramX(double ohms) const {
  const QRect plot = Plot();
  const double span = histogram_.highOhms - histogram_.lowOhms;
  if (span <= 0) return plot.left();
  const double share = std::clamp((ohms - histogram_.lowOhms) / span, 0.0, 1.0);
  return plot.left() + static_cast<int>(share * plot.width());
}

void RecordChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setPen(Qt::black);
  painter.drawRect(Plot());
  if (series_) {
    PaintSeries(painter);
  } else {
    PaintHistogram(painter);
  }
}

void RecordChart::PaintHistogram(QPainter& painter) const {
  const QRect plot = Plot();
  const std::vector<qint64>& counts = histogram_.counts;
  if (!counts.empty()) {
    const qint64 highest = std::max<qint64>(1, *std::max_element(counts.begin(), counts.end()));
    const double width = static_cast<double>(plot.width()) / static_cast<double>(counts.size());
    for (std::size_t bin = 0; bin < counts.size(); ++bin) {
      const int height = static_cast<int>(static_cast<double>(counts[bin]) * plot.height() /
                                          static_cast<double>(highest));
      const QRectF bar(plot.left() + width * static_cast<double>(bin), plot.bottom() - height,
                       width, height);
      painter.fillRect(bar.adjusted(0.5, 0, -0.5, 0), QColor(0x60, 0x80, 0xc0));
    }
  }
  painter.drawText(rect().adjusted(kMargin, 0, 0, 0), Qt::AlignLeft | Qt::AlignBottom,
                   QString::number(histogram_.lowOhms, 'f', 0));
  painter.drawText(rect().adjusted(0, 0, -kMargin / 2, 0), Qt::AlignRight | Qt::AlignBottom,
                   QStringLiteral("%1 ohms").arg(histogram_.highOhms, 0, 'f', 0));
  for (const auto& [limit, colour] : {std::pair{histogram_.passOhms, PassLimitColour()},
                                      std::pair{histogram_.failOhms, FailLimitColour()}}) {
    if (!limit) continue;
    painter.setPen(QPen(colour, 2));
    const int x = HistogramX(*limit);
    painter.drawLine(x, plot.top(), x, plot.bottom());
  }
}

void RecordChart::PaintSeries(QPainter& painter) const {
  if (points_.empty()) return;
  const QRect plot = Plot();
  const auto [earliest, latest] =
      std::minmax_element(points_.begin(), points_.end(),
                          [](const Point& a, const Point& b) { return a.time < b.time; });
  const auto [lowest, highest] =
      std::minmax_element(points_.begin(), points_.end(),
                          [](const Point& a, const Point& b) { return a.ohms < b.ohms; });
  const double timeSpan =
      std::max<double>(1, static_cast<double>(earliest->time.msecsTo(latest->time)));
  const double ohmSpan = std::max(1.0, highest->ohms - lowest->ohms);
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (const Point& point : points_) {
    const double x = plot.left() + static_cast<double>(earliest->time.msecsTo(point.time)) /
                                       timeSpan * plot.width();
    const double y = plot.bottom() - (point.ohms - lowest->ohms) / ohmSpan * plot.height();
    painter.setPen(Qt::NoPen);
    painter.setBrush(OutcomeColour(point.outcome));
    painter.drawRect(
        QRectF(x - kPointRadius, y - kPointRadius, 2 * kPointRadius + 1, 2 * kPointRadius + 1));
  }
  painter.setPen(Qt::black);
  painter.drawText(rect().adjusted(kMargin, 0, 0, 0), Qt::AlignLeft | Qt::AlignBottom,
                   earliest->time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
  painter.drawText(rect().adjusted(0, 0, -kMargin / 2, 0), Qt::AlignRight | Qt::AlignBottom,
                   latest->time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}
