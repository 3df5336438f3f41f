// The live state: the position in large digits, the motion, power, input
// voltage, temperature and step divisor in the state report's words, and
// the switch inputs as indicators that light up while active. A screen
// reader gets each value in the label's name ("Position: 1234"), kept
// current, since a label offers it nothing else. No value resizes the view.
#pragma once

#include <QStringList>
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
  // A label and the caption its accessible name starts with.
  struct Value {
    QLabel* label = nullptr;
    QString caption;
  };
  struct Indicator {
    Value value;
    bool active = false;
  };

  // `widest`: the texts it must have room for.
  Value ValueLabel(const char* caption, QStringList widest = {});
  QLabel* IndicatorLabel(std::string_view name);
  void Light(Indicator& indicator, bool active);

  Value position_;
  Value motion_;
  Value power_;
  Value voltage_;
  Value temperature_;
  Value stepDivisor_;
  QFormLayout* values_ = nullptr;
  std::vector<Indicator> indicators_;  // in the summary's order of inputs
};
