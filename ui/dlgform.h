// The test window. (Placeholder until the full window lands.)
#pragma once

#include <QWidget>

#include "kavr/controller_library.h"
#include "reports/show_report.h"

class QLabel;

class DLGForm : public QWidget {
  Q_OBJECT

 public:
  DLGForm(kavr::ControllerLibrary& library, kavr::ReportDisplay& display, QWidget* parent = nullptr);

  // The load step: fills the window from the selection values and shows it.
  void Load();

 private:
  kavr::ControllerLibrary& library_;
  kavr::ReportDisplay& display_;
  QLabel* TextSel = nullptr;
};
