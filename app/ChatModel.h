#pragma once
// The rows of the conversation shown in the preview, owned by the model (a
// copy: the scan's lists may be cleared while the preview still shows them).
#include <QAbstractListModel>
#include <vector>

#include "app/ChatLine.h"

namespace fq::app {

class ChatModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;

  void setLines(std::vector<ChatLine> lines);
  const ChatLine& line(int row) const { return m_lines[static_cast<size_t>(row)]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::vector<ChatLine> m_lines;
};

}  // namespace fq::app
