#include "call_log_model.h"

#include <QBrush>
#include <QFont>

CallLogModel::CallLogModel(kavr::CallLog& log, QObject* parent)
    : QAbstractListModel(parent), log_(log), announced_(static_cast<int>(log.Size())) {
  log_.SetListener([this](std::size_t row, bool added) { Changed(row, added); });
}

CallLogModel::~CallLogModel() { log_.SetListener({}); }

int CallLogModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : announced_; }

QVariant CallLogModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= announced_) return {};
  const kavr::CallLogRow& row = log_.Row(static_cast<std::size_t>(index.row()));
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return QString::fromStdString(kavr::RowText(row));
    case Qt::ForegroundRole:
      if (row.call.Failed()) return QBrush(Qt::red);
      break;
    case Qt::FontRole:
      if (row.call.Failed()) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      break;
    default:
      break;
  }
  return {};
}

void CallLogModel::Changed(std::size_t row, bool added) {
  if (added) {
    beginInsertRows(QModelIndex(), announced_, static_cast<int>(log_.Size()) - 1);
    announced_ = static_cast<int>(log_.Size());
    endInsertRows();
    return;
  }
  const QModelIndex changed = index(static_cast<int>(row));
  emit dataChanged(changed, changed);
}
