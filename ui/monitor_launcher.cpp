#include "monitor_launcher.h"

#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <optional>

#include "monitor_window.h"

namespace {
constexpr int kGap = 8;
// Long enough for a window manager to have put its frame around a new window.
constexpr std::chrono::milliseconds kFramedAfter(300);
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
  // Placed before its frame was known: once the window manager has framed
  // it, a title bar off the screen is brought back.
  QTimer::singleShot(kFramedAfter, monitor_.get(), [monitor = monitor_.get()] { KeepOnScreen(*monitor); });
}

void MonitorLauncher::Place(QWidget& monitor, QWidget& testWindow) {
  const QRect available = testWindow.screen()->availableGeometry();
  // The monitor's frame is not known before it is first shown; the test
  // window's is the best guess.
  const QSize frame = testWindow.frameGeometry().size() - testWindow.size();
  const QSize wanted = monitor.size().boundedTo(available.size() - frame) + frame;
  const SideBySide placed =
      PlaceBeside(testWindow.frameGeometry(), wanted,
                  monitor.minimumSizeHint().boundedTo(wanted - frame) + frame, available);
  if (placed.neighbour != testWindow.pos()) testWindow.move(placed.neighbour);
  monitor.resize(placed.size - frame);
  monitor.move(placed.window);
}

void MonitorLauncher::KeepOnScreen(QWidget& monitor) {
  const QRect available = monitor.screen()->availableGeometry();
  const QRect frame = monitor.frameGeometry();
  const QPoint inside(std::clamp(frame.left(), available.left(),
                                 std::max(available.left(), available.right() + 1 - frame.width())),
                      std::clamp(frame.top(), available.top(),
                                 std::max(available.top(), available.bottom() + 1 - frame.height())));
  if (inside != frame.topLeft()) monitor.move(inside);
}

namespace {

// One axis of a placement: where the neighbour and the window start, and
// the window's length.
struct Span {
  int neighbour;
  int window;
  int length;
};

// The window after (or before) the neighbour within [begin, end), at its
// full length or shrunk no further than `shortest`; the neighbour moves
// along when `moveNeighbour` and there is no room where it is.
std::optional<Span> Fit(int neighbourStart, int neighbourLength, int length, int shortest, int begin, int end,
                        bool after, bool moveNeighbour) {
  const int room = after ? end - (neighbourStart + neighbourLength + kGap) : neighbourStart - kGap - begin;
  if (int fitted = std::min(length, room); fitted >= shortest) {
    return Span{neighbourStart, after ? end - room : neighbourStart - kGap - fitted, fitted};
  }
  if (!moveNeighbour) return std::nullopt;
  const int fitted = std::min(length, end - begin - neighbourLength - kGap);
  if (fitted < shortest) return std::nullopt;
  return after ? Span{end - fitted - kGap - neighbourLength, end - fitted, fitted}
               : Span{begin + fitted + kGap, begin, fitted};
}

// Level with the neighbour where the screen allows.
int Level(int neighbourStart, int length, int begin, int end) {
  return std::clamp(neighbourStart, begin, std::max(begin, end - length));
}

}  // namespace

SideBySide PlaceBeside(const QRect& neighbour, const QSize& size, const QSize& smallest,
                       const QRect& available) {
  const int left = available.left(), right = available.right() + 1;
  const int top = available.top(), bottom = available.bottom() + 1;
  for (const bool shrink : {false, true}) {
    for (const bool moveNeighbour : {false, true}) {
      for (const bool after : {true, false}) {
        const auto across = Fit(neighbour.left(), neighbour.width(), size.width(),
                                shrink ? smallest.width() : size.width(), left, right, after, moveNeighbour);
        if (across) {
          return {{across->neighbour, neighbour.top()},
                  {across->window, Level(neighbour.top(), size.height(), top, bottom)},
                  {across->length, size.height()}};
        }
      }
      for (const bool after : {true, false}) {
        const auto down = Fit(neighbour.top(), neighbour.height(), size.height(),
                              shrink ? smallest.height() : size.height(), top, bottom, after, moveNeighbour);
        if (down) {
          return {{neighbour.left(), down->neighbour},
                  {Level(neighbour.left(), size.width(), left, right), down->window},
                  {size.width(), down->length}};
        }
      }
    }
  }
  // Too large for both: at its smallest along one axis, the window at the
  // far end and the neighbour at the near one, on the axis where less of
  // the neighbour is covered.
  const int width = std::max(smallest.width(), right - left - neighbour.width() - kGap);
  const int height = std::max(smallest.height(), bottom - top - neighbour.height() - kGap);
  const long coveredAcross =
      static_cast<long>(neighbour.width() + kGap + width - (right - left)) * neighbour.height();
  const long coveredDown =
      static_cast<long>(neighbour.height() + kGap + height - (bottom - top)) * neighbour.width();
  if (coveredAcross <= coveredDown) {
    return {{left, neighbour.top()},
            {std::max(left, right - width), Level(neighbour.top(), size.height(), top, bottom)},
            {width, size.height()}};
  }
  return {{neighbour.left(), top},
          {Level(neighbour.left(), size.width(), left, right), std::max(top, bottom - height)},
          {size.width(), height}};
}
