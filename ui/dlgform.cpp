#include "dlgform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

#include "frame_box.h"
#include "twips.h"

namespace {

// Places a control at its twips position inside its container.
template <typename Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
  control->setObjectName(QString::fromLatin1(name));
  QWidget* container = control->parentWidget();
  control->setGeometry(kavr::TwipsRect(*container, left, top, width, height));
  return control;
}

// Faces wider than the one the layout was drawn for would cut a short
// caption off; such a control grows to the right into the gap beside it.
template <typename Control>
Control* WideEnough(Control* control) {
  const int needed = control->sizeHint().width();
  if (needed > control->width()) control->resize(needed, control->height());
  return control;
}

QPushButton* Button(QWidget* container, const char* name, const char* caption, int left, int top, int width,
                    int height) {
  auto* button =
      Place(new QPushButton(QString::fromLatin1(caption), container), name, left, top, width, height);
  button->setAccessibleName(button->text());
  button->setAutoDefault(false);
  return button;
}

QCheckBox* CheckBox(QWidget* container, const char* name, const char* caption, bool checked, int left,
                    int top, int width, int height) {
  auto* box = Place(new QCheckBox(QString::fromLatin1(caption), container), name, left, top, width, height);
  box->setAccessibleName(box->text());
  box->setChecked(checked);
  return WideEnough(box);
}

QLabel* Label(QWidget* container, const char* name, const char* caption, int left, int top, int width,
              int height) {
  auto* label = Place(new QLabel(QString::fromLatin1(caption), container), name, left, top, width, height);
  // The selection line shows what the library handed back: never markup.
  label->setTextFormat(Qt::PlainText);
  label->setAccessibleName(label->text());
  return WideEnough(label);
}

QGroupBox* Frame(QWidget* container, const char* name, const char* caption, int left, int top, int width,
                 int height) {
  auto* frame =
      Place(new kavr::FrameBox(QString::fromLatin1(caption), container), name, left, top, width, height);
  frame->setAccessibleName(frame->title());
  return frame;
}

QLineEdit* TextBox(QWidget* container, const char* name, const char* text, int left, int top, int width,
                   int height) {
  return Place(new QLineEdit(QString::fromLatin1(text), container), name, left, top, width, height);
}

kavr::BoxState ReadBox(const QCheckBox& box) {
  switch (box.checkState()) {
    case Qt::Checked:
      return kavr::BoxState::kChecked;
    case Qt::PartiallyChecked:
      return kavr::BoxState::kGrayed;
    case Qt::Unchecked:
      break;
  }
  return kavr::BoxState::kUnchecked;
}

}  // namespace

DLGForm::DLGForm(kavr::ControllerLibrary& library, kavr::ReportDisplay& display, kavr::Selection selection,
                 std::string decimalSeparator, QWidget* parent)
    : QWidget(parent),
      library_(library),
      display_(display),
      selection_(std::move(selection)),
      decimalSeparator_(std::move(decimalSeparator)) {
  setObjectName(QStringLiteral("DLGForm"));
  setWindowTitle(QStringLiteral("VB Test KAVRDLL"));
  // A fixed dialog frame: it can be moved and closed, not resized, minimized
  // or maximized.
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(kavr::TwipsToPixelsX(*this, 5910), kavr::TwipsToPixelsY(*this, 4455));
  // The layout was drawn for a small 8-point face; larger default faces cut
  // the longer captions off inside their twips-sized controls.
  QFont small = font();
  small.setPointSizeF(8.0);
  setFont(small);
  CreateControls();
  ConnectButtons();
  SetTabOrder();
}

void DLGForm::CreateControls() {
  TextSel = Label(this, "TextSel", "", 203, 120, 5595, 300);
  CGetState = Button(this, "CGetState", "KAVR_GetState", 233, 570, 1695, 495);
  CStop = Button(this, "CStop", "KAVR_Stop", 2153, 570, 1695, 495);
  CGetLastErr = Button(this, "CGetLastErr", "KAVR_GetLastErr", 4073, 570, 1695, 495);
  CSetParameters = Button(this, "CSetParameters", "KAVR_SetParameters", 240, 1200, 2655, 495);
  CSaveParametersToFlash =
      Button(this, "CSaveParametersToFlash", "KAVR_SaveParametersToFlash", 3120, 1200, 2655, 495);

  // Both power boxes start checked, so that the default click of either
  // mode button leaves the motor powered; swapping trailers is opt-in.
  Frame1 = Frame(this, "Frame1", "KAVR_Mode", 120, 1800, 3015, 1215);
  ChPower[0] = CheckBox(Frame1, "ChPower(0)", "Power", true, 120, 240, 1095, 375);
  ChTrSwap[0] = CheckBox(Frame1, "ChTrSwap(0)", "TrSwap", false, 120, 720, 1095, 375);
  CSetMode = Button(Frame1, "CSetMode", "KAVR_SetMode", 1320, 240, 1575, 855);

  Frame3 = Frame(this, "Frame3", "", 3240, 1800, 2535, 1215);
  ChPower[1] = CheckBox(Frame3, "ChPower(1)", "Power", true, 120, 240, 735, 375);
  Command1 = Button(Frame3, "Command1", "KAVR_SetMode", 960, 240, 1455, 855);

  Frame2 = Frame(this, "Frame2", "KAVR_Start", 120, 3240, 5055, 1095);
  Label2 = Label(Frame2, "Label2", "DestPos", 120, 270, 615, 255);
  TDP = TextBox(Frame2, "TDP", "0", 840, 240, 1095, 285);
  Label3 = Label(Frame2, "Label3", "Speed", 120, 630, 615, 255);
  TSP = TextBox(Frame2, "TSP", "3000", 840, 600, 1095, 285);
  Label1 = Label(Frame2, "Label1", "Step Divisor", 2160, 240, 1095, 255);
  Combo1 = Place(new QComboBox(Frame2), "Combo1", 2160, 600, 1095, 315);
  Combo1->setEditable(false);
  CStart = Button(Frame2, "CStart", "KAVR_Start", 3360, 240, 1575, 735);

  // The text fields and the divisor list have no caption of their own; they
  // are known by the labels beside them.
  Label2->setBuddy(TDP);
  Label3->setBuddy(TSP);
  Label1->setBuddy(Combo1);
  TDP->setAccessibleName(Label2->text());
  TSP->setAccessibleName(Label3->text());
  Combo1->setAccessibleName(Label1->text());
}

void DLGForm::ConnectButtons() {
  connect(CGetState, &QPushButton::clicked, this, &DLGForm::CGetStateClick);
  connect(CStop, &QPushButton::clicked, this, &DLGForm::CStopClick);
  connect(CGetLastErr, &QPushButton::clicked, this, &DLGForm::CGetLastErrClick);
  connect(CSetParameters, &QPushButton::clicked, this, &DLGForm::CSetParametersClick);
  connect(CSaveParametersToFlash, &QPushButton::clicked, this, &DLGForm::CSaveParametersToFlashClick);
  connect(CSetMode, &QPushButton::clicked, this, &DLGForm::CSetModeClick);
  connect(Command1, &QPushButton::clicked, this, &DLGForm::Command1Click);
  connect(CStart, &QPushButton::clicked, this, &DLGForm::CStartClick);
}

void DLGForm::SetTabOrder() {
  // The focusable controls in the order of their tab numbers; frames and
  // labels hold numbers too but never take the focus.
  QWidget* const order[] = {CGetState,  CStop,       CGetLastErr, CSetParameters, CSaveParametersToFlash,
                            ChPower[0], ChTrSwap[0], Combo1,      CStart,         CSetMode,
                            TDP,        TSP,         Command1,    ChPower[1]};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  for (QLabel* label : {TextSel, Label1, Label2, Label3}) label->setFocusPolicy(Qt::NoFocus);
  for (QGroupBox* frame : {Frame1, Frame2, Frame3}) frame->setFocusPolicy(Qt::NoFocus);
}

void DLGForm::Load() {
  TextSel->setText(
      QString::fromStdString("S/N: " + selection_.DeviceSerial + "  Version: " + selection_.DeviceVersion));
  TextSel->setAccessibleName(TextSel->text());
  Combo1->addItem(QStringLiteral("1"));
  Combo1->addItem(QStringLiteral("2"));
  Combo1->addItem(QStringLiteral("4"));
  Combo1->addItem(QStringLiteral("8"));
  Combo1->setCurrentIndex(0);
  CGetState->setFocus();
  show();
}

void DLGForm::CGetStateClick() {
  kavr::StateAction(library_, display_, selection_.DeviceIndex, decimalSeparator_);
}

void DLGForm::CStopClick() { kavr::StopAction(library_, display_, selection_.DeviceIndex); }

void DLGForm::CGetLastErrClick() { kavr::LastErrorAction(library_, display_); }

void DLGForm::CSetParametersClick() {
  kavr::ParametersAction(library_, display_, selection_.DeviceIndex, decimalSeparator_);
}

void DLGForm::CSaveParametersToFlashClick() {
  kavr::SaveParametersAction(library_, display_, selection_.DeviceIndex);
}

void DLGForm::CSetModeClick() {
  kavr::ModeAction(library_, display_, selection_.DeviceIndex,
                   kavr::ModeControls{ReadBox(*ChPower[0]), ReadBox(*ChTrSwap[0])}, decimalSeparator_);
}

void DLGForm::Command1Click() {
  kavr::PowerAction(library_, display_, selection_.DeviceIndex, kavr::PowerControls{ReadBox(*ChPower[1])},
                    decimalSeparator_);
}

void DLGForm::CStartClick() {
  kavr::StartAction(library_, display_, selection_.DeviceIndex,
                    kavr::StartControls{Combo1->currentText().toStdString(), TDP->text().toStdString(),
                                        TSP->text().toStdString(), decimalSeparator_});
}
