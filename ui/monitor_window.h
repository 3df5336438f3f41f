// The monitor: a window beside the test window that polls the selected
// controller's state, plots its position, keeps a STOP button (and key)
// usable while the test window shows a box, and lists every library call.
// Closing it stops the polling and nothing else.
#pragma once

#include <QTimer>
#include <QWidget>
#include <chrono>
#include <string>

#include "app/call_log.h"
#include "app/recording_library.h"
#include "app/selection.h"
#include "app/state_monitor.h"

class CallLogView;
class PositionPlot;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QSettings;
class StateView;

class MonitorWindow : public QWidget {
  Q_OBJECT

 public:
  // Polls and stops the `selection`'s controller through `library`, lists
  // `log`, keeps "Open at start" in `settings`; all three must outlive the
  // window.
  MonitorWindow(kavr::RecordingControllerLibrary& library, kavr::CallLog& log, QSettings& settings,
                kavr::Selection selection, std::string decimalSeparator, QWidget* parent = nullptr);

  // Whether the user left "Open at start" ticked.
  static bool OpenAtStart(QSettings& settings);

  // What the timer does: one poll, then the window shows what it found.
  // `now` places the sample on the plot's time axis.
  void PollNow(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
  // What STOP and its key do.
  void SendStop();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void CreateControls(kavr::CallLog& log);
  void LayOut();
  void ShowPolled();
  void ResumeOrPause();
  // Runs the timer while the window is shown and polling is not paused.
  void ShowPolling();

  const kavr::Selection selection_;
  kavr::StateMonitor monitor_;
  QSettings& settings_;
  QTimer timer_;

  StateView* state_ = nullptr;
  PositionPlot* plot_ = nullptr;
  QPushButton* stop_ = nullptr;
  QComboBox* interval_ = nullptr;
  QPushButton* pause_ = nullptr;
  QCheckBox* openAtStart_ = nullptr;
  QLabel* status_ = nullptr;
  // The latest move against its prediction, in words.
  QLabel* prediction_ = nullptr;
  QSpinBox* tolerance_ = nullptr;
  CallLogView* log_ = nullptr;
};
