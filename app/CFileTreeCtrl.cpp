#include "app/CFileTreeCtrl.h"

#include "output/ItemKind.h"

namespace fq::app {

CFileTreeCtrl::CFileTreeCtrl(CStatisticsObj& statistics, QObject* parent)
    : QAbstractItemModel(parent), m_statistics(statistics) {
  const int media = addGroup(QStringLiteral("Photos & Videos"), false);
  addCategory(media, QStringLiteral("Camera Roll"), ScanCategory::CameraRoll, false);
  addCategory(media, QStringLiteral("Photo Stream"), ScanCategory::PhotoStream, false);
  addCategory(media, QStringLiteral("App Photos"), ScanCategory::AppPhotos, false);
  addCategory(media, QStringLiteral("App Videos"), ScanCategory::AppVideos, false);
  const int messages = addGroup(QStringLiteral("Messages & Call logs"), false);
  addCategory(messages, QStringLiteral("Messages"), ScanCategory::Messages, false);
  addCategory(messages, QStringLiteral("Messages Attachments"), ScanCategory::MessagesAttachments, false);
  addCategory(messages, QStringLiteral("Contacts"), ScanCategory::Contacts, false);
  addCategory(messages, QStringLiteral("Call History"), ScanCategory::CallHistory, false);
  addCategory(messages, QStringLiteral("Notes"), ScanCategory::Notes, false);
  addCategory(messages, QStringLiteral("Voicemail"), std::nullopt, true);
  addCategory(messages, QStringLiteral("WhatsApp"), ScanCategory::WhatsApp, false);
  addCategory(messages, QStringLiteral("WhatsApp Attachments"), ScanCategory::WhatsAppAttachments, false);
  const int others = addGroup(QStringLiteral("Memos & Others"), true);
  for (const char* name : {"Reminders", "Calendar", "Voice Memos", "Safari Bookmark", "App Document"})
    addCategory(others, QString::fromLatin1(name), std::nullopt, true);
}

int CFileTreeCtrl::addGroup(const QString& name, bool hidden) {
  m_nodes.push_back(Node{name, std::nullopt, hidden, -1, {}, false, false, 0});
  m_groups.push_back(static_cast<int>(m_nodes.size()) - 1);
  return m_groups.back();
}

void CFileTreeCtrl::addCategory(int group, const QString& name, std::optional<ScanCategory> category,
                                bool hidden) {
  m_nodes.push_back(Node{name, category, hidden, group, {}, false, false, 0});
  m_nodes[static_cast<size_t>(group)].children.push_back(static_cast<int>(m_nodes.size()) - 1);
}

void CFileTreeCtrl::reset() {
  beginResetModel();
  for (Node& node : m_nodes) {
    node.ready = false;
    node.deletedOnly = false;
    node.liveCount = 0;
  }
  endResetModel();
}

int CFileTreeCtrl::nodeFor(ScanCategory category) const {
  for (size_t i = 0; i < m_nodes.size(); ++i)
    if (m_nodes[i].category == category) return static_cast<int>(i);
  return -1;
}

void CFileTreeCtrl::setLiveCount(ScanCategory category, size_t count) {
  const int node = nodeFor(category);
  if (node < 0 || m_nodes[static_cast<size_t>(node)].liveCount == count) return;
  m_nodes[static_cast<size_t>(node)].liveCount = count;
  const QModelIndex at = indexOf(category);
  emit dataChanged(at, at, {Qt::DisplayRole});
}

void CFileTreeCtrl::setReady(ScanCategory category) {
  const int node = nodeFor(category);
  if (node < 0) return;
  m_nodes[static_cast<size_t>(node)].ready = true;
  const QModelIndex at = indexOf(category);
  emit dataChanged(at, at);
}

bool CFileTreeCtrl::isReady(ScanCategory category) const {
  const int node = nodeFor(category);
  return node >= 0 && m_nodes[static_cast<size_t>(node)].ready;
}

void CFileTreeCtrl::refresh() {
  for (const int group : m_groups) {
    const QModelIndex parent = index(rowOf(group), 0);
    const int rows = rowCount(parent);
    if (rows > 0) emit dataChanged(index(0, 0, parent), index(rows - 1, 0, parent));
  }
}

void CFileTreeCtrl::setFilterState(ScanCategory category, bool deletedOnly) {
  const int node = nodeFor(category);
  if (node < 0) return;
  m_nodes[static_cast<size_t>(node)].deletedOnly = deletedOnly;
  const QModelIndex at = indexOf(category);
  emit dataChanged(at, at, {kFilterStateRole});
}

bool CFileTreeCtrl::filterState(ScanCategory category) const {
  const int node = nodeFor(category);
  return node >= 0 && m_nodes[static_cast<size_t>(node)].deletedOnly;
}

int CFileTreeCtrl::countOf(ScanCategory category) const {
  const int node = nodeFor(category);
  if (node < 0) return 0;
  const Node& n = m_nodes[static_cast<size_t>(node)];
  if (n.ready) return static_cast<int>(m_statistics.CategoryCounter(ItemKindOf(category)).total);
  return static_cast<int>(n.liveCount);
}

QModelIndex CFileTreeCtrl::indexOf(ScanCategory category) const {
  const int node = nodeFor(category);
  return node < 0 ? QModelIndex() : createIndex(rowOf(node), 0, quintptr(node));
}

std::optional<ScanCategory> CFileTreeCtrl::categoryAt(const QModelIndex& index) const {
  const int node = nodeOf(index);
  if (node < 0) return std::nullopt;
  return m_nodes[static_cast<size_t>(node)].category;
}

bool CFileTreeCtrl::isHiddenNode(const QModelIndex& index) const {
  const int node = nodeOf(index);
  return node >= 0 && m_nodes[static_cast<size_t>(node)].hidden;
}

int CFileTreeCtrl::nodeOf(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return -1;
  return static_cast<int>(index.internalId());
}

int CFileTreeCtrl::rowOf(int node) const {
  const Node& n = m_nodes[static_cast<size_t>(node)];
  const std::vector<int>& siblings =
      n.parent < 0 ? m_groups : m_nodes[static_cast<size_t>(n.parent)].children;
  for (size_t i = 0; i < siblings.size(); ++i)
    if (siblings[i] == node) return static_cast<int>(i);
  return -1;
}

QModelIndex CFileTreeCtrl::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  const int parentNode = nodeOf(parent);
  const std::vector<int>& rows =
      parentNode < 0 ? m_groups : m_nodes[static_cast<size_t>(parentNode)].children;
  if (static_cast<size_t>(row) >= rows.size()) return {};
  return createIndex(row, 0, quintptr(rows[static_cast<size_t>(row)]));
}

QModelIndex CFileTreeCtrl::parent(const QModelIndex& child) const {
  const int node = nodeOf(child);
  if (node < 0) return {};
  const int parentNode = m_nodes[static_cast<size_t>(node)].parent;
  return parentNode < 0 ? QModelIndex() : createIndex(rowOf(parentNode), 0, quintptr(parentNode));
}

int CFileTreeCtrl::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(m_groups.size());
  const int node = nodeOf(parent);
  if (node < 0 || parent.column() != 0) return 0;
  return static_cast<int>(m_nodes[static_cast<size_t>(node)].children.size());
}

int CFileTreeCtrl::columnCount(const QModelIndex&) const { return 1; }

QVariant CFileTreeCtrl::data(const QModelIndex& index, int role) const {
  const int node = nodeOf(index);
  if (node < 0) return {};
  const Node& n = m_nodes[static_cast<size_t>(node)];
  const bool category = n.parent >= 0;
  switch (role) {
    case Qt::DisplayRole:
      if (!category) return n.name;
      // The label keeps the space before the parenthesis: "Camera Roll (12)".
      return QStringLiteral("%1 (%2)").arg(n.name).arg(n.category ? countOf(*n.category) : 0);
    case Qt::CheckStateRole: {
      if (!category || !n.category) return {};
      if (!n.ready) return Qt::Unchecked;
      switch (m_statistics.CategoryCheckState(ItemKindOf(*n.category))) {
        case CheckState::Checked:
          return Qt::Checked;
        case CheckState::Partial:
          return Qt::PartiallyChecked;
        case CheckState::Unchecked:
          return Qt::Unchecked;
      }
      return {};
    }
    case kFilterStateRole:
      return category ? QVariant(n.deletedOnly ? QStringLiteral("D") : QStringLiteral("N")) : QVariant();
    case kCategoryRole:
      return n.category ? QVariant(static_cast<int>(*n.category)) : QVariant();
    case Qt::ToolTipRole:
      return category ? data(index, Qt::DisplayRole) : QVariant();
    default:
      return {};
  }
}

bool CFileTreeCtrl::setData(const QModelIndex& index, const QVariant& value, int role) {
  const int node = nodeOf(index);
  if (node < 0 || role != Qt::CheckStateRole) return false;
  const Node& n = m_nodes[static_cast<size_t>(node)];
  if (!n.category || !n.ready) return false;
  const bool checked = value.toInt() != Qt::Unchecked;
  m_statistics.SetCategorySelected(ItemKindOf(*n.category), checked);
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit categoryChecked(*n.category, checked);
  return true;
}

Qt::ItemFlags CFileTreeCtrl::flags(const QModelIndex& index) const {
  const int node = nodeOf(index);
  if (node < 0) return Qt::NoItemFlags;
  const Node& n = m_nodes[static_cast<size_t>(node)];
  if (n.parent < 0) return Qt::ItemIsEnabled;  // a group takes no selection
  // A category without items keeps its node disabled, its check box empty.
  if (!n.category || !n.ready || countOf(*n.category) == 0) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

}  // namespace fq::app
