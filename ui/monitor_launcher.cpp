#include "monitor_launcher.h"

#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "monitor_window.h"

namespace {
constexpr int kGap = 8;
}  // namespace

MonitorLauncher::MonitorLauncher(kavr::CallTrackingLibrary& library, kavr::CallLog& log, QSettings& settings,
                                 std::string decimalSeparator)
    : library_(library), log_(log), settings_(settings), decimalSeparator_(std::move(decimalSeparator)) {}

MonitorLauncher::~MonitorLauncher() { delete openKey_; }

void MonitorLauncher::Attach(QWidget& testWindow, bool openNow) {
  testWindow_ = &testWindow;
  delete openKey_;
  openKey_ = new QShortcut(QKeySequence(Qt::Key_F2), &testWindow);
  connect(openKey_, &QShortcut::activated, this, &MonitorLauncher::Open);
  // After the test window has been shown and placed, so the monitor can go beside it.
  if (openNow || MonitorWindow::OpenAtStart(settings_)) QTimer::singleShot(0, this, &MonitorLauncher::Open);
}

void MonitorLauncher::Open() {
  if (!monitor_) {
    monitor_ = std::make_unique<MonitorWindow>(library_, log_, settings_, decimalSeparator_);
    if (testWindow_) {
      const QRect available = testWindow_->screen()->availableGeometry();
      monitor_->resize(monitor_->size().boundedTo(available.size() * 9 / 10));
      monitor_->move(PlaceBeside(testWindow_->frameGeometry(), monitor_->size(), available));
    }
  }
  monitor_->show();
  monitor_->raise();
  monitor_->activateWindow();
}

QPoint PlaceBeside(const QRect& neighbour, const QSize& size, const QRect& available) {
  int left = neighbour.right() + 1 + kGap;
  if (left + size.width() > available.right() + 1) {
    left = neighbour.left() - kGap - size.width();
    if (left < available.left()) left = available.right() + 1 - size.width();
  }
  left = std::max(left, available.left());
  const int top = std::clamp(neighbour.top(), available.top(),
                             std::max(available.top(), available.bottom() + 1 - size.height()));
  return {left, top};
}
