#include "app/ChatModel.h"

namespace fq::app {

void ChatModel::setLines(std::vector<ChatLine> lines) {
  beginResetModel();
  m_lines = std::move(lines);
  endResetModel();
}

int ChatModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant ChatModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const ChatLine& row = line(index.row());
  switch (role) {
    case Qt::DisplayRole:
      return row.text;
    case Qt::ToolTipRole:
      return row.kind == ChatLine::Kind::Banner ? QVariant() : QVariant(row.header);
    default:
      return {};
  }
}

Qt::ItemFlags ChatModel::flags(const QModelIndex& index) const {
  // The banner takes no mouse input; messages are drawn enabled but never selected.
  if (!index.isValid() || line(index.row()).kind == ChatLine::Kind::Banner) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled;
}

}  // namespace fq::app
