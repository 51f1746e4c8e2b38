#include "app/RecoveryRowsModel.h"

#include <QColor>

namespace fq::app {
namespace {
const QColor kErrorColour(0xc6, 0x28, 0x28);
}

void RecoveryRowsModel::append(const std::vector<RecoveryRow>& rows) {
  std::vector<Row> failed, succeeded;
  for (const auto& r : rows) {
    Row row{QString::fromStdString(r.path.string()), QString::fromStdString(r.status)};
    (r.success ? succeeded : failed).push_back(std::move(row));
  }
  if (!failed.empty()) {
    beginInsertRows({}, 0, static_cast<int>(failed.size()) - 1);
    for (auto& row : failed) m_failed.push_back(std::move(row));
    endInsertRows();
  }
  if (!succeeded.empty()) {
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(succeeded.size()) - 1);
    for (auto& row : succeeded) m_succeeded.push_back(std::move(row));
    endInsertRows();
  }
}

int RecoveryRowsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_failed.size() + m_succeeded.size());
}

int RecoveryRowsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

const RecoveryRowsModel::Row& RecoveryRowsModel::rowAt(int row) const {
  const auto r = static_cast<size_t>(row);
  if (r < m_failed.size()) return m_failed[m_failed.size() - 1 - r];
  return m_succeeded[r - m_failed.size()];
}

QVariant RecoveryRowsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) return {};
  const Row& row = rowAt(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return index.column() == 0 ? row.file : row.status;
    case Qt::ForegroundRole:
      if (static_cast<size_t>(index.row()) < m_failed.size()) return kErrorColour;
      return {};
    case Qt::TextAlignmentRole:
      return index.column() == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignCenter);
    default:
      return {};
  }
}

QVariant RecoveryRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section == 0 ? QStringLiteral("File") : QStringLiteral("Status");
}

}  // namespace fq::app
