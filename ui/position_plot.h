// The position over the last half minute as a line, with the stretches in
// which the motor's power was off shaded, so that a start, a deceleration
// after a stop and a power-off can be seen at a glance.
#pragma once

#include <QWidget>

#include "app/position_history.h"

class PositionPlot : public QWidget {
  Q_OBJECT

 public:
  // Draws `history` (which must outlive the plot) whenever it is repainted.
  explicit PositionPlot(const kavr::PositionHistory& history, QWidget* parent = nullptr);

  QSize sizeHint() const override { return {520, 170}; }
  // Low enough to leave room on a small screen; the axis labels still fit.
  QSize minimumSizeHint() const override { return {240, 64}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const kavr::PositionHistory& history_;
};
