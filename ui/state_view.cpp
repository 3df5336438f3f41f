#include "state_view.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const QString kNotYet = QStringLiteral("-");

QLabel* PlainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  // What the library hands back is shown as text, never as markup.
  label->setTextFormat(Qt::PlainText);
  return label;
}

void SetText(QLabel& label, const std::string& text) { label.setText(QString::fromStdString(text)); }

}  // namespace

StateView::StateView(QWidget* parent) : QWidget(parent) {
  position_ = PlainLabel(kNotYet, this);
  position_->setObjectName(QStringLiteral("Position"));
  position_->setAccessibleName(QStringLiteral("Position"));
  position_->setToolTip(QStringLiteral("Current position, in microsteps"));
  position_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont large = font();
  large.setPointSizeF(large.pointSizeF() * 3);
  large.setBold(true);
  large.setStyleHint(QFont::Monospace);
  position_->setFont(large);
  position_->setMinimumWidth(QFontMetrics(large).horizontalAdvance(QStringLiteral("-2147483648")) + 8);

  values_ = new QFormLayout;
  motion_ = ValueLabel("Motion");
  power_ = ValueLabel("Power");
  voltage_ = ValueLabel("Input voltage");
  temperature_ = ValueLabel("Temperature");
  stepDivisor_ = ValueLabel("Step divisor");

  auto* indicatorRow = new QHBoxLayout;
  indicatorRow->setSpacing(4);
  for (std::string_view name : kavr::StateInputNames()) {
    indicators_.push_back({IndicatorLabel(name), true});
    indicatorRow->addWidget(indicators_.back().label);
    Light(indicators_.back(), false);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* caption = PlainLabel(QStringLiteral("Position, microsteps"), this);
  caption->setBuddy(position_);
  auto* positionColumn = new QVBoxLayout;
  positionColumn->addWidget(caption);
  positionColumn->addWidget(position_);
  positionColumn->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addLayout(positionColumn);
  top->addSpacing(16);
  top->addLayout(values_, 1);
  layout->addLayout(top);
  layout->addLayout(indicatorRow);
}

QLabel* StateView::ValueLabel(const char* caption) {
  QLabel* value = PlainLabel(kNotYet, this);
  value->setAccessibleName(QString::fromLatin1(caption));
  value->setObjectName(QString::fromLatin1(caption).remove(QLatin1Char(' ')));
  auto* label = PlainLabel(QString::fromLatin1(caption) + QLatin1Char(':'), this);
  label->setBuddy(value);
  values_->addRow(label, value);
  return value;
}

QLabel* StateView::IndicatorLabel(std::string_view name) {
  QLabel* label = PlainLabel(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())), this);
  label->setObjectName(label->text().remove(QLatin1Char(' ')));
  label->setAccessibleName(label->text());
  label->setAlignment(Qt::AlignCenter);
  label->setMargin(3);
  label->setFrameShape(QFrame::StyledPanel);
  label->setAutoFillBackground(true);
  return label;
}

void StateView::Light(Indicator& indicator, bool active) {
  if (indicator.active == active) return;
  indicator.active = active;
  QPalette colours = palette();
  if (active) {
    colours.setColor(QPalette::Window, QColor(255, 176, 32));
    colours.setColor(QPalette::WindowText, Qt::black);
  } else {
    colours.setColor(QPalette::WindowText, colours.color(QPalette::Disabled, QPalette::WindowText));
  }
  indicator.label->setPalette(colours);
}

void StateView::Show(const kavr::StateSummary& state) {
  SetText(*position_, state.position);
  SetText(*motion_, state.motion);
  SetText(*power_, state.power);
  SetText(*voltage_, state.voltage);
  SetText(*temperature_, state.temperature);
  SetText(*stepDivisor_, state.stepDivisor);
  for (std::size_t i = 0; i < state.inputs.size() && i < indicators_.size(); ++i) {
    const kavr::StateIndicator& input = state.inputs[i];
    Indicator& indicator = indicators_[i];
    const QString word = QString::fromStdString(input.word);
    if (indicator.label->toolTip() != word) {
      indicator.label->setToolTip(word);
      indicator.label->setAccessibleDescription(word);
    }
    Light(indicator, input.active);
  }
}
