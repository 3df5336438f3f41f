// The monitor's call log: the list of every library call, the selected
// call's records field by field, and the whole log copied (Ctrl+C) or saved
// as text.
#pragma once

#include <QWidget>

#include "app/call_log.h"

class CallLogModel;
class QListView;
class QPlainTextEdit;
class QPushButton;

class CallLogView : public QWidget {
  Q_OBJECT

 public:
  explicit CallLogView(kavr::CallLog& log, QWidget* parent = nullptr);

  // The whole log to the clipboard.
  void CopyLog();
  // The whole log to `path`, UTF-8; false with the reason in `error`.
  bool SaveLog(const QString& path, QString& error);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void AskAndSave();
  void ShowDetails();

  kavr::CallLog& log_;
  CallLogModel* model_ = nullptr;
  QListView* list_ = nullptr;
  QPlainTextEdit* details_ = nullptr;
  QPushButton* copy_ = nullptr;
  QPushButton* save_ = nullptr;
  bool followNewRows_ = true;
};
