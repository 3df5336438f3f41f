#include "dialog.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

#include "app/device_list.h"
#include "app/device_selection.h"
#include "dlgform.h"
#include "twips.h"

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAccessibleName(QString::fromLatin1(caption));
  return button;
}

}  // namespace

Dialog::Dialog(kavr::ControllerLibrary& library, kavr::ReportDisplay& display, std::string decimalSeparator,
               QWidget* parent)
    : QDialog(parent), library_(library), display_(display), decimalSeparator_(std::move(decimalSeparator)) {
  setObjectName("Dialog");
  setWindowTitle("Select Your Choice");
  setAccessibleName("Select Your Choice");
  // A fixed dialog border: a title and a close box only. Qt would otherwise
  // still offer minimize and maximize on a fixed-size top-level window.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(kavr::TwipsToPixelsX(*this, 7410), kavr::TwipsToPixelsY(*this, 3240));

  OKButton = MakeButton(this, "OKButton", "OK");
  OKButton->setGeometry(kavr::TwipsRect(*this, 6120, 120, 1215, 375));
  OKButton->setDefault(true);

  CancelButton = MakeButton(this, "CancelButton", "Cancel");
  CancelButton->setGeometry(kavr::TwipsRect(*this, 6120, 600, 1215, 375));

  List1 = new QListWidget(this);
  List1->setObjectName("List1");
  List1->setSelectionMode(QAbstractItemView::SingleSelection);
  List1->setSortingEnabled(false);
  List1->setGeometry(kavr::TwipsRect(*this, 120, 120, 5775, 2985));
  List1->installEventFilter(this);

  setTabOrder(OKButton, CancelButton);
  setTabOrder(CancelButton, List1);
  OKButton->setFocus();

  connect(OKButton, &QPushButton::clicked, this, &Dialog::ChooseSelectedDevice);
  connect(List1, &QListWidget::itemDoubleClicked, this, &Dialog::ChooseSelectedDevice);
  // Escape and the close box reject the dialog too, the same as Cancel.
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

Dialog::~Dialog() = default;

bool Dialog::Load() {
  // Init must run once per run, whoever calls this again.
  if (loaded_) return List1->count() > 0;
  loaded_ = true;

  VersionsBuffer = kavr::EmptyLibraryText();
  SerialsBuffer = kavr::EmptyLibraryText();
  std::int32_t count = selection_.DeviceCount;
  const kavr::ResultCode result = library_.Init(count, VersionsBuffer, SerialsBuffer);
  selection_.DeviceCount = count;

  if (auto failure = kavr::StartupFailureFor(result, count, library_)) {
    display_.ShowReport(failure->prompt, failure->title);
    return false;
  }
  PrintDevices(SerialsBuffer, VersionsBuffer);
  List1->setCurrentRow(0);
  return true;
}

void Dialog::PrintDevices(const kavr::LibraryText& serials, const kavr::LibraryText& versions) {
  const auto lines = kavr::DeviceLines(selection_.DeviceCount, serials, versions);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const QString line = QString::fromStdString(lines[i]);
    List1->insertItem(static_cast<int>(i), line);
    // The list keeps its size; a line longer than it is read whole here.
    List1->item(static_cast<int>(i))->setToolTip(line);
  }
}

bool Dialog::eventFilter(QObject* watched, QEvent* event) {
  // A line wider than the list is read by scrolling it sideways, with the
  // arrow keys as well as the mouse: the list has no other use for them.
  if (watched == List1 && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier && (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right)) {
      List1->horizontalScrollBar()->triggerAction(key->key() == Qt::Key_Left
                                                      ? QAbstractSlider::SliderSingleStepSub
                                                      : QAbstractSlider::SliderSingleStepAdd);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void Dialog::ChooseSelectedDevice() {
  if (testWindow_) return;
  const QList<QListWidgetItem*> selected = List1->selectedItems();
  // The list can be left without a selection (Ctrl+click); there is then
  // nothing to choose, and the dialog stays.
  if (selected.isEmpty()) return;

  selection_ =
      kavr::SelectionOf(selection_.DeviceCount, List1->row(selected.front()), SerialsBuffer, VersionsBuffer);
  testWindow_ = std::make_unique<DLGForm>(library_, display_, selection_, decimalSeparator_);
  emit TestWindowOpening(testWindow_.get());
  testWindow_->Load();
  accept();
}
