#include "state_view.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

const QString kNotYet = QStringLiteral("-");

QLabel* PlainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  // What the library hands back is shown as text, never as markup.
  label->setTextFormat(Qt::PlainText);
  return label;
}

// Every motion the report can word: each combination of its flags.
QStringList Motions() {
  QStringList motions;
  for (int flags = 0; flags < 8; ++flags) {
    KAVR_State state{};
    state.Running = flags & 1;
    state.DirectionCCW = (flags >> 1) & 1;
    state.FullSpeed = (flags >> 2) & 1;
    motions << QString::fromStdString(kavr::SummarizeState(state, ".").motion);
  }
  return motions;
}

// A label as wide as the widest of the texts it is meant for, whatever it
// shows now, so that a value that changes never moves or grows the window;
// a text wider still is cut short. Measured with the font it is drawn in,
// which is known only once the label is on its screen.
class SteadyLabel : public QLabel {
 public:
  SteadyLabel(QStringList widest, QWidget* parent) : QLabel(parent), widest_(std::move(widest)) {
    setTextFormat(Qt::PlainText);  // what the library hands back is never markup
  }
  QSize sizeHint() const override { return {Widest(), QLabel::sizeHint().height()}; }
  QSize minimumSizeHint() const override { return {Widest(), QLabel::minimumSizeHint().height()}; }

 private:
  int Widest() const {
    int widest = 0;
    for (const QString& text : widest_) widest = std::max(widest, fontMetrics().horizontalAdvance(text));
    return widest + 2 * (margin() + frameWidth());
  }

  QStringList widest_;
};

QString Named(const QString& caption, const QString& text) { return caption + QStringLiteral(": ") + text; }

// Only what changed: each new name is an event on the accessibility bus.
void SetValue(QLabel& label, const QString& caption, const QString& text) {
  if (label.text() != text) label.setText(text);
  const QString name = Named(caption, text);
  if (label.accessibleName() != name) label.setAccessibleName(name);
}

}  // namespace

StateView::StateView(QWidget* parent) : QWidget(parent) {
  QLabel* position = new SteadyLabel({QStringLiteral("-2147483648")}, this);
  position_ = {position, QStringLiteral("Position")};
  position->setObjectName(QStringLiteral("Position"));
  SetValue(*position, position_.caption, kNotYet);
  position->setToolTip(QStringLiteral("Current position, in microsteps"));
  position->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont large = font();
  large.setPointSizeF(large.pointSizeF() * 3);
  large.setBold(true);
  large.setStyleHint(QFont::Monospace);
  position->setFont(large);

  values_ = new QFormLayout;
  // The values take the column's width, never their text's.
  values_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  // The other values share the motion's column, wider than any of them.
  motion_ = ValueLabel("Motion", Motions());
  power_ = ValueLabel("Power");
  voltage_ = ValueLabel("Input voltage");
  temperature_ = ValueLabel("Temperature");
  stepDivisor_ = ValueLabel("Step divisor");

  auto* indicatorRow = new QHBoxLayout;
  indicatorRow->setSpacing(4);
  for (std::string_view name : kavr::StateInputNames()) {
    QLabel* label = IndicatorLabel(name);
    indicators_.push_back({{label, label->text()}, true});
    indicatorRow->addWidget(label);
    Light(indicators_.back(), false);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* caption = PlainLabel(QStringLiteral("Position, microsteps"), this);
  caption->setBuddy(position);
  auto* positionColumn = new QVBoxLayout;
  positionColumn->addWidget(caption);
  positionColumn->addWidget(position);
  positionColumn->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addLayout(positionColumn);
  top->addSpacing(16);
  top->addLayout(values_, 1);
  layout->addLayout(top);
  layout->addLayout(indicatorRow);
}

StateView::Value StateView::ValueLabel(const char* caption, QStringList widest) {
  const Value value{new SteadyLabel(std::move(widest), this), QString::fromLatin1(caption)};
  SetValue(*value.label, value.caption, kNotYet);
  value.label->setObjectName(QString(value.caption).remove(QLatin1Char(' ')));
  auto* label = PlainLabel(value.caption + QLatin1Char(':'), this);
  label->setBuddy(value.label);
  values_->addRow(label, value.label);
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
  indicator.value.label->setPalette(colours);
}

void StateView::Show(const kavr::StateSummary& state) {
  for (const auto& [value, text] : {std::pair{&position_, &state.position},
                                    {&motion_, &state.motion},
                                    {&power_, &state.power},
                                    {&voltage_, &state.voltage},
                                    {&temperature_, &state.temperature},
                                    {&stepDivisor_, &state.stepDivisor}}) {
    SetValue(*value->label, value->caption, QString::fromStdString(*text));
  }
  for (std::size_t i = 0; i < state.inputs.size() && i < indicators_.size(); ++i) {
    const kavr::StateIndicator& input = state.inputs[i];
    Indicator& indicator = indicators_[i];
    QLabel& label = *indicator.value.label;
    const QString word = QString::fromStdString(input.word);
    if (label.toolTip() != word) {
      label.setToolTip(word);
      label.setAccessibleDescription(word);
      label.setAccessibleName(Named(indicator.value.caption, word));
    }
    Light(indicator, input.active);
  }
}
