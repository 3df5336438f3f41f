#include "monitor_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <chrono>

#include "call_log_view.h"
#include "position_plot.h"
#include "state_view.h"

namespace {

using std::chrono::milliseconds;

// The polling intervals offered, and the one chosen at first.
constexpr std::array kIntervals = {milliseconds(50), milliseconds(100), milliseconds(200), milliseconds(500),
                                   milliseconds(1000)};
constexpr milliseconds kDefaultInterval(100);

// A stop that finds another call running goes out as soon as it has returned.
constexpr milliseconds kStopRetry(5);

const char* const kOpenAtStartKey = "monitor/openAtStart";

// White on red in every style, darker while pressed, a yellow ring while
// it has the keyboard focus.
const char* const kStopStyle =
    "QPushButton { color: white; background-color: rgb(200, 30, 30); border: 2px solid rgb(120, 10, 10);"
    " border-radius: 6px; padding: 4px 12px; }"
    "QPushButton:hover { background-color: rgb(220, 40, 40); }"
    "QPushButton:pressed { background-color: rgb(150, 20, 20); }"
    "QPushButton:focus { border: 3px solid rgb(255, 210, 0); }";

QString IntervalText(milliseconds interval) {
  return interval.count() % 1000 == 0 ? QStringLiteral("%1 s").arg(interval.count() / 1000)
                                      : QStringLiteral("%1 ms").arg(interval.count());
}

template <typename Control>
Control* Named(Control* control, const char* accessibleName) {
  control->setAccessibleName(QString::fromLatin1(accessibleName));
  control->setObjectName(QString::fromLatin1(accessibleName).remove(QLatin1Char(' ')));
  return control;
}

}  // namespace

MonitorWindow::MonitorWindow(kavr::RecordingControllerLibrary& library, kavr::CallLog& log,
                             QSettings& settings, kavr::Selection selection, std::string decimalSeparator,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      selection_(std::move(selection)),
      monitor_(library, log, std::move(decimalSeparator)),
      settings_(settings) {
  setObjectName(QStringLiteral("Monitor"));
  setWindowTitle(QStringLiteral("Monitor - S/N ") + QString::fromStdString(selection_.DeviceSerial));
  setAccessibleName(windowTitle());
  // Closing the test window ends the program, whether the monitor is open or not.
  setAttribute(Qt::WA_QuitOnClose, false);
  CreateControls(log);
  LayOut();

  connect(&timer_, &QTimer::timeout, this, [this] { PollNow(); });
  connect(stop_, &QPushButton::clicked, this, &MonitorWindow::SendStop);
  connect(pause_, &QPushButton::clicked, this, &MonitorWindow::ResumeOrPause);
  connect(interval_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          [this](int index) { timer_.setInterval(kIntervals.at(static_cast<std::size_t>(index))); });
  connect(tolerance_, QOverload<int>::of(&QSpinBox::valueChanged), this, [this](int steps) {
    monitor_.SetTolerance(steps == 0 ? kavr::ShadowTolerance{} : kavr::ShadowTolerance{steps, {}});
  });
  connect(openAtStart_, &QCheckBox::toggled, this,
          [this](bool checked) { settings_.setValue(QString::fromLatin1(kOpenAtStartKey), checked); });
}

bool MonitorWindow::OpenAtStart(QSettings& settings) {
  return settings.value(QString::fromLatin1(kOpenAtStartKey), false).toBool();
}

void MonitorWindow::CreateControls(kavr::CallLog& log) {
  state_ = new StateView(this);
  plot_ = new PositionPlot(monitor_.History(), this);

  stop_ = Named(new QPushButton(QStringLiteral("STOP"), this), "STOP");
  stop_->setToolTip(QStringLiteral("Sends Stop to the controller at once (Esc)"));
  stop_->setAutoDefault(false);
  stop_->setMinimumSize(120, 72);
  QFont large = stop_->font();
  large.setPointSizeF(large.pointSizeF() * 1.8);
  large.setBold(true);
  stop_->setFont(large);
  // A style sheet, since some styles (the native Windows one) draw a
  // button from their own theme and ignore its palette: STOP would be a
  // blank white box there.
  stop_->setStyleSheet(QString::fromLatin1(kStopStyle));

  interval_ = Named(new QComboBox(this), "Interval");
  for (milliseconds interval : kIntervals) interval_->addItem(IntervalText(interval));
  const auto chosen = std::find(kIntervals.begin(), kIntervals.end(), kDefaultInterval);
  interval_->setCurrentIndex(static_cast<int>(chosen - kIntervals.begin()));
  timer_.setInterval(kDefaultInterval);

  pause_ = Named(new QPushButton(QStringLiteral("Pause"), this), "Pause");
  pause_->setAutoDefault(false);
  openAtStart_ = Named(new QCheckBox(QStringLiteral("Open at start"), this), "Open at start");
  openAtStart_->setChecked(OpenAtStart(settings_));
  status_ = Named(new QLabel(this), "Status");
  // The status may hold the library's error text: never markup.
  status_->setTextFormat(Qt::PlainText);
  status_->setWordWrap(true);
  prediction_ = Named(new QLabel(this), "Prediction");
  prediction_->setTextFormat(Qt::PlainText);
  prediction_->setWordWrap(true);
  tolerance_ = Named(new QSpinBox(this), "Tolerance");
  tolerance_->setRange(0, 1000000);
  tolerance_->setSuffix(QStringLiteral(" steps"));
  tolerance_->setSpecialValueText(QStringLiteral("2% + 10 steps"));
  tolerance_->setToolTip(QStringLiteral("How far the position may stray from the prediction"));
  log_ = new CallLogView(log, this);
}

void MonitorWindow::LayOut() {
  auto* top = new QHBoxLayout;
  top->addWidget(state_, 1);
  top->addWidget(stop_, 0, Qt::AlignTop);

  auto* intervalLabel = new QLabel(QStringLiteral("Interval:"), this);
  intervalLabel->setBuddy(interval_);
  auto* controls = new QHBoxLayout;
  controls->addWidget(intervalLabel);
  controls->addWidget(interval_);
  controls->addWidget(pause_);
  auto* toleranceLabel = new QLabel(QStringLiteral("Tolerance:"), this);
  toleranceLabel->setBuddy(tolerance_);
  controls->addWidget(toleranceLabel);
  controls->addWidget(tolerance_);
  controls->addStretch(1);
  controls->addWidget(openAtStart_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(plot_, 1);
  layout->addLayout(controls);
  layout->addWidget(prediction_);
  layout->addWidget(status_);
  layout->addWidget(log_, 2);
  resize(760, 720);
}

void MonitorWindow::PollNow(std::chrono::steady_clock::time_point now) {
  if (monitor_.Poll(selection_.DeviceIndex, now) == kavr::StateMonitor::Outcome::kNotNow) return;
  ShowPolled();
}

void MonitorWindow::SendStop() {
  if (monitor_.Stop(selection_.DeviceIndex) == kavr::StateMonitor::Outcome::kNotNow) {
    QTimer::singleShot(kStopRetry, this, &MonitorWindow::SendStop);
    return;
  }
  ShowPolled();
}

void MonitorWindow::ShowPolled() {
  if (monitor_.State()) state_->Show(*monitor_.State());
  plot_->update();
  const QString status = QString::fromStdString(monitor_.Status());
  if (status_->text() != status) status_->setText(status);
  const QString departure = QString::fromStdString(monitor_.Departure());
  if (prediction_->text() != departure) {
    prediction_->setText(departure);
    // A screen reader hears the words as the label's description.
    prediction_->setAccessibleDescription(departure);
  }
  ShowPolling();
}

void MonitorWindow::ResumeOrPause() {
  if (monitor_.Paused()) {
    monitor_.Resume();
    PollNow();
  } else {
    monitor_.Pause();
  }
  ShowPolled();
}

void MonitorWindow::ShowPolling() {
  const bool polling = isVisible() && !monitor_.Paused();
  if (polling && !timer_.isActive()) timer_.start();
  if (!polling) timer_.stop();
  const QString caption = monitor_.Paused() ? QStringLiteral("Resume") : QStringLiteral("Pause");
  if (pause_->text() != caption) {
    pause_->setText(caption);
    pause_->setAccessibleName(caption);
  }
}

void MonitorWindow::keyPressEvent(QKeyEvent* event) {
  // Esc reaches the window only when no control took it: an open
  // drop-down closes on it and the motor runs on.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    SendStop();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MonitorWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The state is read as soon as the window shows, not an interval later.
  if (!monitor_.Paused()) PollNow();
  ShowPolling();
}

void MonitorWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  ShowPolling();
}
