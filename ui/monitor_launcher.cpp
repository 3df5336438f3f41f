#include "monitor_launcher.h"

#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "monitor_window.h"

namespace {
constexpr int kGap = 8;
}  // namespace

MonitorLauncher::MonitorLauncher(kavr::RecordingControllerLibrary& library, kavr::CallLog& log,
                                 QSettings& settings, std::string decimalSeparator)
    : library_(library), log_(log), settings_(settings), decimalSeparator_(std::move(decimalSeparator)) {}

MonitorLauncher::~MonitorLauncher() { delete openKey_; }

void MonitorLauncher::Attach(QWidget& testWindow, kavr::Selection selection, bool openNow) {
  testWindow_ = &testWindow;
  selection_ = std::move(selection);
  delete openKey_;
  openKey_ = new QShortcut(QKeySequence(Qt::Key_F2), &testWindow);
  connect(openKey_, &QShortcut::activated, this, &MonitorLauncher::Open);
  if (!openNow && !MonitorWindow::OpenAtStart(settings_)) return;
  QWindow* window = testWindow.windowHandle();
  if (window == nullptr || window->isExposed()) {
    QTimer::singleShot(0, this, &MonitorLauncher::Open);
  } else {
    window->installEventFilter(this);
  }
}

bool MonitorLauncher::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
    watched->removeEventFilter(this);
    QTimer::singleShot(0, this, &MonitorLauncher::Open);
  }
  return QObject::eventFilter(watched, event);
}

void MonitorLauncher::Open() {
  if (!monitor_) {
    monitor_ = std::make_unique<MonitorWindow>(library_, log_, settings_, selection_, decimalSeparator_);
    if (testWindow_) Place(*monitor_, *testWindow_);
  }
  monitor_->show();
  monitor_->raise();
  monitor_->activateWindow();
}

void MonitorLauncher::Place(QWidget& monitor, QWidget& testWindow) {
  const QRect available = testWindow.screen()->availableGeometry();
  // The monitor's frame is not known before it is first shown; the test
  // window's is the best guess.
  const QSize frame = testWindow.frameGeometry().size() - testWindow.size();
  monitor.resize(monitor.size().boundedTo(available.size() * 9 / 10 - frame));
  const SideBySide placed = PlaceBeside(testWindow.frameGeometry(), monitor.size() + frame, available);
  if (placed.neighbour != testWindow.pos()) testWindow.move(placed.neighbour);
  monitor.move(placed.window);
}

SideBySide PlaceBeside(const QRect& neighbour, const QSize& size, const QRect& available) {
  const int top = std::clamp(neighbour.top(), available.top(),
                             std::max(available.top(), available.bottom() + 1 - size.height()));
  const int right = neighbour.right() + 1 + kGap, left = neighbour.left() - kGap - size.width();
  if (right + size.width() <= available.right() + 1) return {neighbour.topLeft(), {right, top}};
  if (left >= available.left()) return {neighbour.topLeft(), {left, top}};
  const int together = neighbour.width() + kGap + size.width();
  if (together <= available.width()) {
    const int moved = available.right() + 1 - together;
    return {{moved, neighbour.top()}, {moved + neighbour.width() + kGap, top}};
  }
  return {neighbour.topLeft(), {std::max(available.left(), available.right() + 1 - size.width()), top}};
}
