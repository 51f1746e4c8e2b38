#pragma once
// The category tree's model: the group and category nodes of the scan page,
// each category labelled with its count ("Camera Roll (12)"), checked as the
// selection statistics say, and holding its deleted-only filter state.
#include <QAbstractItemModel>
#include <QString>
#include <optional>
#include <vector>

#include "engine/session/ScanCategory.h"
#include "output/CStatisticsObj.h"

namespace fq::app {

class CFileTreeCtrl : public QAbstractItemModel {
  Q_OBJECT
 public:
  // The node's filter state, "D" (deleted only) or "N".
  static constexpr int kFilterStateRole = Qt::UserRole + 1;
  // The node's category as an int (ScanCategory), or nothing for a group.
  static constexpr int kCategoryRole = Qt::UserRole + 2;

  explicit CFileTreeCtrl(CStatisticsObj& statistics, QObject* parent = nullptr);

  // Back to the start of a scan: counts 0, every category node disabled.
  void reset();
  // The counts of the categories not handed over yet, as the scan reports them.
  void setLiveCount(ScanCategory category, size_t count);
  // The category is in the statistics; a category with items becomes usable.
  void setReady(ScanCategory category);
  bool isReady(ScanCategory category) const;
  // Labels and check boxes again from the statistics.
  void refresh();

  void setFilterState(ScanCategory category, bool deletedOnly);
  bool filterState(ScanCategory category) const;

  QModelIndex indexOf(ScanCategory category) const;
  std::optional<ScanCategory> categoryAt(const QModelIndex& index) const;
  // Whether the row is one the tree never shows (categories no scan fills).
  bool isHiddenNode(const QModelIndex& index) const;
  // The count a category's label shows.
  int countOf(ScanCategory category) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // The user ticked or unticked a category node's check box.
  void categoryChecked(fq::ScanCategory category, bool checked);

 private:
  struct Node {
    QString name;
    std::optional<ScanCategory> category;
    bool hidden = false;
    int parent = -1;  // index of the group node; -1 for a group
    std::vector<int> children;
    bool ready = false;
    bool deletedOnly = false;
    size_t liveCount = 0;
  };
  int addGroup(const QString& name, bool hidden);
  void addCategory(int group, const QString& name, std::optional<ScanCategory> category, bool hidden);
  int nodeOf(const QModelIndex& index) const;
  int rowOf(int node) const;
  int nodeFor(ScanCategory category) const;

  CStatisticsObj& m_statistics;
  std::vector<Node> m_nodes;
  std::vector<int> m_groups;
};

}  // namespace fq::app
