// The call log as a list for a view: one row a log row, its text as the
// display and accessible text, failed calls in bold red.
#pragma once

#include <QAbstractListModel>

#include "app/call_log.h"

class CallLogModel : public QAbstractListModel {
  Q_OBJECT

 public:
  // Follows `log` from now on; the log must outlive the model.
  explicit CallLogModel(kavr::CallLog& log, QObject* parent = nullptr);
  ~CallLogModel() override;

  const kavr::CallLog& Log() const { return log_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  void Changed(std::size_t row, bool added);

  kavr::CallLog& log_;
  // The rows the view has been told of: the log has grown by the time it
  // tells us, and the view must not see the new row before it is announced.
  int announced_ = 0;
};
