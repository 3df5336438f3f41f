// The test window: one button per library operation, the mode and power
// boxes, and the start group. Its slots only read the controls and hand them
// to the actions (actions.h).
#pragma once

#include <QWidget>
#include <string>

#include "app/actions.h"
#include "app/selection.h"
#include "device/controller_library.h"
#include "reports/show_report.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class DLGForm : public QWidget {
  Q_OBJECT

 public:
  // Reports print, and typed numbers are read, with `decimalSeparator`.
  DLGForm(kavr::ControllerLibrary& library, kavr::ReportDisplay& display, kavr::Selection selection = {},
          std::string decimalSeparator = ".", QWidget* parent = nullptr);

  // The load step: fills the window from the selection values and shows it.
  void Load();

 private:
  void CreateControls();
  void ConnectButtons();
  void SetTabOrder();

  void CGetStateClick();
  void CStopClick();
  void CGetLastErrClick();
  void CSetParametersClick();
  void CSaveParametersToFlashClick();
  void CSetModeClick();
  void Command1Click();
  void CStartClick();

  kavr::ControllerLibrary& library_;
  kavr::ReportDisplay& display_;
  const kavr::Selection selection_;
  const std::string decimalSeparator_;

  QLabel* TextSel = nullptr;
  QPushButton* CGetState = nullptr;
  QPushButton* CStop = nullptr;
  QPushButton* CGetLastErr = nullptr;
  QPushButton* CSetParameters = nullptr;
  QPushButton* CSaveParametersToFlash = nullptr;
  QGroupBox* Frame1 = nullptr;
  QCheckBox* ChPower[2] = {};
  QCheckBox* ChTrSwap[1] = {};
  QPushButton* CSetMode = nullptr;
  QGroupBox* Frame3 = nullptr;
  QPushButton* Command1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* TDP = nullptr;
  QLabel* Label3 = nullptr;
  QLineEdit* TSP = nullptr;
  QLabel* Label1 = nullptr;
  QComboBox* Combo1 = nullptr;
  QPushButton* CStart = nullptr;
};
