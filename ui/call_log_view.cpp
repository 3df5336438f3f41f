#include "call_log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/call_details.h"
#include "call_log_model.h"

namespace {

QPushButton* Button(const char* caption, const char* accessibleName, QWidget* parent) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setAccessibleName(QString::fromLatin1(accessibleName));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

CallLogView::CallLogView(kavr::CallLog& log, QWidget* parent) : QWidget(parent), log_(log) {
  model_ = new CallLogModel(log, this);

  list_ = new QListView(this);
  list_->setObjectName(QStringLiteral("CallLog"));
  list_->setAccessibleName(QStringLiteral("Call log"));
  list_->setModel(model_);
  list_->setUniformItemSizes(true);
  // Rows are read whole in the details, the copy and the saved text; a
  // horizontal scroll bar would be re-laid and repainted as a run of polls
  // grows its row, at every poll.
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->installEventFilter(this);

  details_ = new QPlainTextEdit(this);
  details_->setObjectName(QStringLiteral("CallDetails"));
  details_->setAccessibleName(QStringLiteral("Call details"));
  details_->setReadOnly(true);
  details_->setLineWrapMode(QPlainTextEdit::NoWrap);
  details_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  details_->setPlaceholderText(QStringLiteral("Select a call to see its records field by field."));

  auto* heading = new QLabel(QStringLiteral("Call log:"), this);
  heading->setBuddy(list_);
  copy_ = Button("Copy", "Copy log", this);
  copy_->setToolTip(QStringLiteral("Copies the whole log (Ctrl+C in the list)"));
  save_ = Button("Save as text...", "Save as text", this);

  // Two lines each at the least, so that on a small screen the monitor
  // fits beside or below the test window rather than over it.
  for (QAbstractScrollArea* area :
       {static_cast<QAbstractScrollArea*>(list_), static_cast<QAbstractScrollArea*>(details_)})
    area->setMinimumHeight(2 * area->fontMetrics().lineSpacing() + 2 * area->frameWidth() + 4);
  auto* splitter = new QSplitter(Qt::Vertical, this);
  splitter->addWidget(list_);
  splitter->addWidget(details_);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(heading);
  buttons->addStretch(1);
  buttons->addWidget(copy_);
  buttons->addWidget(save_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(buttons);
  layout->addWidget(splitter, 1);

  connect(copy_, &QPushButton::clicked, this, &CallLogView::CopyLog);
  connect(save_, &QPushButton::clicked, this, &CallLogView::AskAndSave);
  connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this, &CallLogView::ShowDetails);
  connect(model_, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& changed) {
    if (changed == list_->currentIndex()) ShowDetails();
  });
  // Newest at the bottom, kept in view unless the user has scrolled up to
  // read: from the first showing of a long log on, through every new row
  // and every change of the list's height.
  QScrollBar* bar = list_->verticalScrollBar();
  connect(bar, &QScrollBar::valueChanged, this,
          [this, bar](int value) { followNewRows_ = value == bar->maximum(); });
  connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
    if (followNewRows_) bar->setValue(maximum);
  });
}

bool CallLogView::eventFilter(QObject* watched, QEvent* event) {
  // The list would copy its current row alone; Ctrl+C there copies the log.
  if (watched == list_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    CopyLog();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CallLogView::CopyLog() {
  QApplication::clipboard()->setText(QString::fromStdString(kavr::LogText(log_)));
}

bool CallLogView::SaveLog(const QString& path, QString& error) {
  QSaveFile file(path);
  const std::string text = kavr::LogText(log_);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
      !file.commit()) {
    error = file.errorString();
    return false;
  }
  return true;
}

void CallLogView::AskAndSave() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save the call log"),
                                                    QStringLiteral("kavrtest-calls.txt"),
                                                    QStringLiteral("Text files (*.txt);;All files (*)"));
  if (path.isEmpty()) return;
  QString error;
  if (SaveLog(path, error)) return;
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Save as text"),
                  QStringLiteral("The log was not saved to %1: %2").arg(path, error), QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::WindowModal);
  box.exec();
}

void CallLogView::ShowDetails() {
  const QModelIndex current = list_->currentIndex();
  if (!current.isValid()) {
    details_->clear();
    return;
  }
  const QString details =
      QString::fromStdString(kavr::CallDetailsText(log_.Row(static_cast<std::size_t>(current.row()))));
  if (details == details_->toPlainText()) return;
  // A selected run of polls is described anew at every poll; the reader
  // keeps their place in it.
  QScrollBar* bar = details_->verticalScrollBar();
  const int place = bar->value();
  details_->setPlainText(details);
  bar->setValue(place);
}
