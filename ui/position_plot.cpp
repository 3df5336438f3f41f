#include "position_plot.h"

#include <QPainter>
#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kSpanSeconds = std::chrono::duration<double>(kavr::PositionHistory::kSpan).count();

// Maps time (the newest sample at the right edge) and position into the plot area.
class Scale {
 public:
  Scale(const QRectF& area, Clock::time_point newest, double low, double high)
      : area_(area), newest_(newest), low_(low), high_(high) {}
  double X(Clock::time_point time) const {
    const double age = std::chrono::duration<double>(newest_ - time).count();
    return area_.right() - age / kSpanSeconds * area_.width();
  }
  double Y(double position) const {
    return area_.bottom() - (position - low_) / (high_ - low_) * area_.height();
  }

 private:
  QRectF area_;
  Clock::time_point newest_;
  double low_, high_;
};

// Shades the stretches with the power off: from each such sample to the next.
void DrawPowerOff(QPainter& painter, const Scale& scale, const QRectF& area,
                  const std::deque<kavr::PositionSample>& samples) {
  const QColor powerOff(200, 60, 60, 60);
  for (std::size_t i = 0; i + 1 < samples.size(); ++i) {
    if (samples[i].powerOn) continue;
    const double left = scale.X(samples[i].time), right = scale.X(samples[i + 1].time);
    painter.fillRect(QRectF(left, area.top(), right - left, area.height()), powerOff);
  }
}

}  // namespace

PositionPlot::PositionPlot(const kavr::PositionHistory& history, QWidget* parent)
    : QWidget(parent), history_(history) {
  setObjectName(QStringLiteral("PositionPlot"));
  setAccessibleName(QStringLiteral("Position plot"));
  setAccessibleDescription(QStringLiteral("The position over the last 30 seconds"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PositionPlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  const auto& samples = history_.Samples();
  if (samples.empty()) {
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("The position of the last 30 s appears here"));
    return;
  }

  const auto [lowestSample, highestSample] = std::minmax_element(
      samples.begin(), samples.end(), [](const auto& a, const auto& b) { return a.position < b.position; });
  // The predicted curve counts too: a move stopped short is drawn below it.
  struct Extreme {
    std::int32_t position;
  } low{lowestSample->position}, high{highestSample->position};
  for (const auto& sample : samples) {
    if (!sample.predicted) continue;
    low.position = std::min(low.position, *sample.predicted);
    high.position = std::max(high.position, *sample.predicted);
  }
  const Extreme* lowest = &low;
  const Extreme* highest = &high;
  const QString highText = QString::number(highest->position), lowText = QString::number(lowest->position);
  const QFontMetrics metrics = fontMetrics();
  const int labelWidth =
      std::max(metrics.horizontalAdvance(highText), metrics.horizontalAdvance(lowText)) + 8;
  const QRectF area = QRectF(rect()).adjusted(labelWidth, metrics.height() / 2.0, -6, -metrics.height() - 4);
  // A little room above and below the line, so that it never runs along the frame.
  // In doubles: the span of two 32-bit positions may not fit an int.
  const double margin =
      std::max(1.0, (static_cast<double>(highest->position) - static_cast<double>(lowest->position)) * 0.08);
  const Scale scale(area, samples.back().time, lowest->position - margin, highest->position + margin);

  painter.setClipRect(area);
  DrawPowerOff(painter, scale, area, samples);
  painter.setPen(QPen(palette().color(QPalette::Mid), 0, Qt::DotLine));
  for (int quarter = 1; quarter < 4; ++quarter) {
    const double x = area.left() + area.width() * quarter / 4;
    painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
  }
  QPolygonF line;
  line.reserve(static_cast<int>(samples.size()));
  for (const auto& sample : samples) line << QPointF(scale.X(sample.time), scale.Y(sample.position));
  // Without antialiasing: a smoothed line of hundreds of points costs more
  // than the rest of a poll together, at every poll.
  // The predicted curve of the move under way, dashed beside the reported
  // one, and a mark where the move was seen to leave it.
  QPolygonF predicted;
  for (const auto& sample : samples) {
    if (sample.predicted) predicted << QPointF(scale.X(sample.time), scale.Y(*sample.predicted));
  }
  painter.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DashLine));
  painter.drawPolyline(predicted);
  painter.setPen(QPen(QColor(200, 60, 60), 2));
  for (const auto& sample : samples) {
    if (!sample.departed) continue;
    const double x = scale.X(sample.time);
    painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
  }
  painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
  painter.drawPolyline(line);
  if (samples.size() == 1) painter.drawEllipse(line.front(), 2, 2);
  painter.setClipping(false);

  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(area);
  painter.setPen(palette().color(QPalette::Text));
  const auto valueLabel = [&](double position, const QString& text) {
    const QRectF box(0, scale.Y(position) - metrics.height() / 2.0, area.left() - 4, metrics.height());
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, text);
  };
  valueLabel(highest->position, highText);
  if (lowest->position != highest->position) valueLabel(lowest->position, lowText);
  const double baseline = area.bottom() + metrics.ascent() + 3;
  painter.drawText(QPointF(area.left(), baseline), QStringLiteral("-30 s"));
  const QString now = QStringLiteral("now");
  painter.drawText(QPointF(area.right() - metrics.horizontalAdvance(now), baseline), now);
}
