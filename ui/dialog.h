// The device-selection dialog: the program's first window. Its load step asks
// the controller library for the attached controllers; the user picks one,
// which opens the test window.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "app/selection.h"
#include "device/controller_library.h"
#include "reports/show_report.h"

class DLGForm;
class QListWidget;
class QPushButton;

class Dialog : public QDialog {
  Q_OBJECT

 public:
  // The test window prints and reads numbers with `decimalSeparator`.
  Dialog(kavr::ControllerLibrary& library, kavr::ReportDisplay& display, std::string decimalSeparator = ".",
         QWidget* parent = nullptr);
  ~Dialog() override;

  // The load step, run once before the dialog is first shown. False when
  // there is nothing to choose from: the box saying why has been shown and
  // dismissed, and the dialog must not be shown.
  bool Load();

  // Adds one line per controller to List1.
  void PrintDevices(const kavr::LibraryText& serials, const kavr::LibraryText& versions);

  // The controller chosen, once one has been (the count once loaded).
  const kavr::Selection& Chosen() const { return selection_; }

  // The test window once a controller has been chosen; null before.
  DLGForm* TestWindow() const { return testWindow_.get(); }

 signals:
  // The test window has been made and is about to load: from now on the
  // program's boxes belong to it.
  void TestWindowOpening(QWidget* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ChooseSelectedDevice();

  kavr::ControllerLibrary& library_;
  kavr::ReportDisplay& display_;
  const std::string decimalSeparator_;

  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QListWidget* List1 = nullptr;

  kavr::LibraryText VersionsBuffer;
  kavr::LibraryText SerialsBuffer;
  bool loaded_ = false;
  kavr::Selection selection_;

  // Owned here, not by Qt: the hidden dialog outlives the test window until
  // the program ends, so the window is torn down with everything else.
  std::unique_ptr<DLGForm> testWindow_;
};
