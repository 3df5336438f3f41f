#include "dlgform.h"

#include <QLabel>

#include "module1.h"

DLGForm::DLGForm(kavr::ControllerLibrary& library, kavr::ReportDisplay& display, QWidget* parent)
    : QWidget(parent), library_(library), display_(display) {
  setObjectName("DLGForm");
  setWindowTitle("VB Test KAVRDLL");
  TextSel = new QLabel(this);
  TextSel->setObjectName("TextSel");
}

void DLGForm::Load() {
  TextSel->setText(
      QString::fromStdString("S/N: " + Module1::DeviceSerial + "  Version: " + Module1::DeviceVersion));
  TextSel->adjustSize();
  show();
}
