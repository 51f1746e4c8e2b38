#include "app/CFileListCtrl.h"

#include <QColor>
#include <QIcon>

#include "engine/format/ExtensionLists.h"
#include "engine/format/SizeText.h"
#include "output/ItemKind.h"
#include "output/RecordTexts.h"

namespace fq::app {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

bool IsVideoName(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  QString extension = QString::fromStdString(name.substr(dot + 1)).toLower();
  return IsListedExtension(kVideoExtensions, extension.toStdString());
}

QIcon FileIcon(const std::string& name) {
  return QIcon(IsVideoName(name) ? QStringLiteral(":/skins/icons/video.svg")
                                 : QStringLiteral(":/skins/icons/image.svg"));
}

}  // namespace

CFileListCtrl::CFileListCtrl(CStatisticsObj& statistics, QObject* parent)
    : QAbstractTableModel(parent), m_statistics(statistics) {}

void CFileListCtrl::clear() {
  beginResetModel();
  m_category.reset();
  m_appFiles = nullptr;
  m_rows.clear();
  m_visible.clear();
  m_columns.clear();
  endResetModel();
}

void CFileListCtrl::showCategory(ScanCategory category, const ScanResults& results,
                                 const AppFileSplit& split) {
  beginResetModel();
  m_category = category;
  m_appFiles = nullptr;
  m_rows.clear();
  auto addAll = [this](const auto& list) {
    m_rows.reserve(list.size());
    for (const auto& record : list) m_rows.push_back({&record});
  };
  auto addConversations = [this](const auto& map) {
    // As the statistics count them: one row per conversation that holds a message.
    for (const auto& [key, messages] : map)
      if (!messages.empty()) m_rows.push_back({&messages.front()});
  };
  auto addApplications = [this](const AppFolderMap& folders) {
    for (const auto& [name, files] : folders) m_rows.push_back({&files, &name});
  };
  switch (category) {
    case ScanCategory::CameraRoll:
      addAll(results.cameraRoll);
      break;
    case ScanCategory::PhotoStream:
      addAll(results.photoStream);
      break;
    case ScanCategory::WhatsAppAttachments:
      addAll(results.whatsAppAttachments);
      break;
    case ScanCategory::MessagesAttachments:
      addAll(results.messageAttachments);
      break;
    case ScanCategory::Contacts:
      addAll(results.contacts);
      break;
    case ScanCategory::CallHistory:
      addAll(results.calls);
      break;
    case ScanCategory::Notes:
      addAll(results.notes);
      break;
    case ScanCategory::Messages:
      addConversations(results.conversations);
      break;
    case ScanCategory::WhatsApp:
      addConversations(results.whatsAppChats);
      break;
    case ScanCategory::AppPhotos:
      addApplications(split.photos);
      break;
    case ScanCategory::AppVideos:
      addApplications(split.videos);
      break;
  }
  setColumns();
  rebuildVisible();
  endResetModel();
}

void CFileListCtrl::showAppFiles(ScanCategory category, const std::vector<AppFileRecord>& files) {
  beginResetModel();
  m_category = category;
  m_appFiles = &files;
  m_rows.clear();
  for (const auto& file : files) m_rows.push_back({&file});
  setColumns();
  rebuildVisible();
  endResetModel();
}

void CFileListCtrl::setColumns() {
  m_columns = {{"", 21}};
  auto add = [this](std::initializer_list<Column> columns) { m_columns.insert(m_columns.end(), columns); };
  if (m_appFiles) {
    add({{"File Name", 200}, {"App Name", 200}, {"Size", 0}});
    return;
  }
  switch (*m_category) {
    case ScanCategory::CameraRoll:
    case ScanCategory::PhotoStream:
      add({{"File Name", 200}, {"File Size", 0}});
      break;
    case ScanCategory::MessagesAttachments:
    case ScanCategory::WhatsAppAttachments:
      add({{"File Name", 300}, {"File Size", 0}});
      break;
    case ScanCategory::AppPhotos:
    case ScanCategory::AppVideos:
      add({{"App Name", 300}, {"Type", 0}});
      break;
    case ScanCategory::Messages:
      add({{"User Name", 100}, {"Phone Number", 100}, {"Date", 120}, {"Message", 0}});
      break;
    case ScanCategory::Contacts:
      add({{"Name", 100}, {"Company", 100}, {"Phone", 100}, {"Email", 100}, {"Home Page", 0}});
      break;
    case ScanCategory::CallHistory:
      add({{"User Name", 150},
           {"Phone Number", 150},
           {"Date", 130},
           {"Call Status", 100},
           {"Duration", 100},
           {"Status", 0}});
      break;
    case ScanCategory::Notes:
      add({{"Title", 100}, {"Date", 110}, {"Note", 0}});
      break;
    case ScanCategory::WhatsApp:
      add({{"Chats", 150}, {"Name", 150}, {"Phone", 0}});
      break;
  }
}

void CFileListCtrl::rebuildVisible() {
  m_visible.clear();
  m_visible.reserve(m_rows.size());
  for (size_t i = 0; i < m_rows.size(); ++i) {
    const StatisticsEntry* entry = m_statistics.Find(m_rows[i].record);
    if (!entry || !entry->hidden) m_visible.push_back(static_cast<int>(i));
  }
}

void CFileListCtrl::refilter() {
  beginResetModel();
  rebuildVisible();
  endResetModel();
}

void CFileListCtrl::refreshChecks() {
  if (!m_visible.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

int CFileListCtrl::sourceRow(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= m_visible.size()) return -1;
  return m_visible[static_cast<size_t>(row)];
}

const void* CFileListCtrl::recordAt(int row) const {
  const int source = sourceRow(row);
  return source < 0 ? nullptr : m_rows[static_cast<size_t>(source)].record;
}

const void* CFileListCtrl::recordOfSource(int source) const {
  if (source < 0 || static_cast<size_t>(source) >= m_rows.size()) return nullptr;
  return m_rows[static_cast<size_t>(source)].record;
}

bool CFileListCtrl::isApplicationRow(int row) const {
  const int source = sourceRow(row);
  return source >= 0 && m_rows[static_cast<size_t>(source)].appName != nullptr;
}

bool CFileListCtrl::isDeleted(int row) const {
  const StatisticsEntry* entry = m_statistics.Find(recordAt(row));
  // For a conversation or chat the statistics hold the any-message rule.
  return entry && !entry->group && entry->deleted != 0;
}

int CFileListCtrl::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_visible.size());
}

int CFileListCtrl::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant CFileListCtrl::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      static_cast<size_t>(section) >= m_columns.size())
    return {};
  return QString::fromLatin1(m_columns[static_cast<size_t>(section)].title);
}

Qt::CheckState CFileListCtrl::checkOf(const Row& row) const {
  if (row.appName) {
    const auto& files = *static_cast<const std::vector<AppFileRecord>*>(row.record);
    size_t selected = 0;
    for (const auto& file : files) {
      const StatisticsEntry* entry = m_statistics.Find(&file);
      selected += entry && entry->selected;
    }
    if (selected == 0) return Qt::Unchecked;
    return selected == files.size() ? Qt::Checked : Qt::PartiallyChecked;
  }
  const StatisticsEntry* entry = m_statistics.Find(row.record);
  return entry && entry->selected ? Qt::Checked : Qt::Unchecked;
}

QString CFileListCtrl::cellText(const Row& row, int column) const {
  if (m_appFiles) {
    const auto& f = *static_cast<const AppFileRecord*>(row.record);
    switch (column) {
      case 1:
        return Text(f.name);
      case 2:
        return Text(f.appName);
      case 3:
        return Text(SizeText(f.size));
      default:
        return {};
    }
  }
  switch (*m_category) {
    case ScanCategory::CameraRoll:
    case ScanCategory::PhotoStream:
    case ScanCategory::WhatsAppAttachments: {
      const auto& f = *static_cast<const MediaFileRecord*>(row.record);
      return column == 1 ? Text(f.name) : column == 2 ? Text(SizeText(f.size)) : QString();
    }
    case ScanCategory::MessagesAttachments: {
      const auto& f = *static_cast<const AttachmentFileRecord*>(row.record);
      return column == 1 ? Text(f.name) : column == 2 ? Text(SizeText(f.size)) : QString();
    }
    case ScanCategory::AppPhotos:
    case ScanCategory::AppVideos:
      return column == 1 ? Text(*row.appName) : column == 2 ? QStringLiteral("Folder") : QString();
    case ScanCategory::Messages: {
      const auto& m = *static_cast<const MessageRecord*>(row.record);
      const std::string* cells[] = {nullptr, &m.contactName, &m.address, &m.date, &m.text};
      return column >= 1 && column <= 4 ? Text(*cells[column]) : QString();
    }
    case ScanCategory::Contacts: {
      const auto& c = *static_cast<const ContactRecord*>(row.record);
      const std::string* cells[] = {nullptr, &c.name, &c.company, &c.phone, &c.email, &c.url};
      // One spelling of a number per line in the record; one line in a cell.
      return column >= 1 && column <= 5
                 ? Text(*cells[column]).replace(QLatin1Char('\n'), QStringLiteral(", "))
                 : QString();
    }
    case ScanCategory::CallHistory: {
      const auto& c = *static_cast<const CallRecord*>(row.record);
      switch (column) {
        case 1:
          return Text(c.name);
        case 2:
          return Text(c.number);
        case 3:
          return Text(c.date);
        case 4:
          return Text(CallDirectionText(c));
        case 5:
          return Text(CallDurationText(c));
        case 6:
          return c.deleted ? QStringLiteral("Deleted") : QStringLiteral("Normal");
        default:
          return {};
      }
    }
    case ScanCategory::Notes: {
      const auto& n = *static_cast<const NoteRecord*>(row.record);
      const std::string* cells[] = {nullptr, &n.title, &n.date, &n.body};
      return column >= 1 && column <= 3 ? Text(*cells[column]).simplified() : QString();
    }
    case ScanCategory::WhatsApp: {
      const auto& m = *static_cast<const WhatsAppMessageRecord*>(row.record);
      switch (column) {
        case 1:
          return Text(m.partnerName);
        case 2:
          return Text(m.chatTitle.empty() ? m.senderName : m.chatTitle);
        case 3:
          return Text(m.chatPhones.empty() ? m.senderPhone : m.chatPhones);
        default:
          return {};
      }
    }
  }
  return {};
}

QVariant CFileListCtrl::data(const QModelIndex& index, int role) const {
  const int source = sourceRow(index.row());
  if (source < 0 || index.column() < 0 || static_cast<size_t>(index.column()) >= m_columns.size()) return {};
  const Row& row = m_rows[static_cast<size_t>(source)];
  const int column = index.column();
  switch (role) {
    case Qt::CheckStateRole:
      return column == 0 ? QVariant(checkOf(row)) : QVariant();
    case Qt::DisplayRole:
      return column == 0 ? QVariant() : QVariant(cellText(row, column));
    case Qt::ToolTipRole: {
      // The whole text of a cell the column may cut short.
      if (column == 0) return {};
      const QString text = cellText(row, column);
      return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case Qt::ForegroundRole:
      if (isDeleted(index.row())) return QColor::fromRgba(kDeletedColour);
      return {};
    case Qt::DecorationRole: {
      if (column != 1) return {};
      if (row.appName) return QIcon(QStringLiteral(":/skins/icons/folder.svg"));
      if (m_category && IsRecordCategory(ItemKindOf(*m_category)))
        return isDeleted(index.row()) ? QVariant(QIcon(QStringLiteral(":/skins/icons/deleted.svg")))
                                      : QVariant();
      if (m_appFiles) return FileIcon(static_cast<const AppFileRecord*>(row.record)->name);
      if (*m_category == ScanCategory::MessagesAttachments)
        return FileIcon(static_cast<const AttachmentFileRecord*>(row.record)->name);
      if (*m_category == ScanCategory::WhatsAppAttachments)
        return FileIcon(static_cast<const MediaFileRecord*>(row.record)->name);
      return QIcon(QStringLiteral(":/skins/icons/image.svg"));
    }
    case Qt::TextAlignmentRole:
      // Contacts: name, phone and email centred; company and home page left.
      if (m_category == ScanCategory::Contacts && !m_appFiles && (column == 1 || column == 3 || column == 4))
        return int(Qt::AlignCenter);
      return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

void CFileListCtrl::toggle(int row) {
  const int source = sourceRow(row);
  if (source < 0) return;
  setData(index(row, 0),
          checkOf(m_rows[static_cast<size_t>(source)]) == Qt::Checked ? Qt::Unchecked : Qt::Checked,
          Qt::CheckStateRole);
}

bool CFileListCtrl::setData(const QModelIndex& index, const QVariant& value, int role) {
  const int source = sourceRow(index.row());
  if (source < 0 || role != Qt::CheckStateRole || index.column() != 0) return false;
  const Row& row = m_rows[static_cast<size_t>(source)];
  const bool checked = value.toInt() != Qt::Unchecked;
  const bool changed = row.appName ? m_statistics.SetGroupSelected(row.record, checked)
                                   : m_statistics.SetSelected(row.record, checked);
  if (!changed) return false;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit checksChanged();
  return true;
}

Qt::ItemFlags CFileListCtrl::flags(const QModelIndex& index) const {
  if (sourceRow(index.row()) < 0) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == 0) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

}  // namespace fq::app
