// The live state: the position in large digits, the motion, power, input
// voltage, temperature and step divisor in the state report's words, and
// the switch inputs as indicators that light up while active.
#pragma once

#include <QWidget>
#include <vector>

#include "app/state_summary.h"

class QFormLayout;
class QLabel;

class StateView : public QWidget {
  Q_OBJECT

 public:
  explicit StateView(QWidget* parent = nullptr);

  void Show(const kavr::StateSummary& state);

 private:
  struct Indicator {
    QLabel* label = nullptr;
    bool active = false;
  };

  QLabel* ValueLabel(const char* caption);
  QLabel* IndicatorLabel(std::string_view name);
  void Light(Indicator& indicator, bool active);

  QLabel* position_ = nullptr;
  QLabel* motion_ = nullptr;
  QLabel* power_ = nullptr;
  QLabel* voltage_ = nullptr;
  QLabel* temperature_ = nullptr;
  QLabel* stepDivisor_ = nullptr;
  QFormLayout* values_ = nullptr;
  std::vector<Indicator> indicators_;  // in the summary's order of inputs
};
