// Opens the monitor beside the test window: with F2 there, at start when
// asked for on the command line or when the user left "Open at start"
// ticked. The monitor is made the first time it opens.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <memory>
#include <string>

#include "app/call_log.h"
#include "app/recording_library.h"
#include "app/selection.h"

class MonitorWindow;
class QSettings;
class QShortcut;

class MonitorLauncher : public QObject {
  Q_OBJECT

 public:
  // All three must outlive the launcher.
  MonitorLauncher(kavr::RecordingControllerLibrary& library, kavr::CallLog& log, QSettings& settings,
                  std::string decimalSeparator);
  ~MonitorLauncher() override;

  // Binds F2 on the test window; opens the monitor once the window is up
  // when `openNow` or the user's choice says so.
  // The monitor watches the `selection`'s controller.
  void Attach(QWidget& testWindow, kavr::Selection selection, bool openNow);

  // Shows the monitor beside the test window (or brings it to the front).
  void Open();

  // Null until first opened.
  MonitorWindow* Monitor() const { return monitor_.get(); }

 protected:
  // Waits for the test window to be on the screen: until then the window
  // manager may still move it, and the monitor would not land beside it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  static void Place(QWidget& monitor, QWidget& testWindow);
  static void KeepOnScreen(QWidget& monitor);

  kavr::RecordingControllerLibrary& library_;
  kavr::CallLog& log_;
  QSettings& settings_;
  const std::string decimalSeparator_;
  QPointer<QWidget> testWindow_;
  kavr::Selection selection_;
  QPointer<QShortcut> openKey_;  // on the test window, gone with the launcher
  std::unique_ptr<MonitorWindow> monitor_;
};

// Where a window of `size` (no smaller than `smallest`) goes beside
// `neighbour` on a screen whose free area is `available` (frames, top-left
// corners), wholly on the screen: to its right if it fits, else to its left,
// below, above; if none, the neighbour moves aside just far enough for both
// to fit; then the same with the window shrunk towards `smallest`. Only when
// nothing fits do they overlap, as little as can be. Level with the
// neighbour where the screen allows.
struct SideBySide {
  QPoint neighbour;
  QPoint window;
  QSize size;
};
SideBySide PlaceBeside(const QRect& neighbour, const QSize& size, const QSize& smallest,
                       const QRect& available);
