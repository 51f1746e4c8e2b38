#pragma once
// The data list's model: the records or files of one category, read in place
// from the scan's lists (no copies), one row per record or file, per
// conversation or chat for Messages and WhatsApp, per application for App
// Photos and App Videos. Column 0 is the check column; the rows the
// deleted-only filter hides are left out through an index vector.
#include <QAbstractTableModel>
#include <QRgb>
#include <optional>
#include <string>
#include <vector>

#include "engine/session/AppFileSplit.h"
#include "engine/session/ScanCategory.h"
#include "engine/session/ScanResults.h"
#include "output/CStatisticsObj.h"

namespace fq::app {

class CFileListCtrl : public QAbstractTableModel {
  Q_OBJECT
 public:
  struct Column {
    const char* title;
    int width;  // 0: takes the remaining width
  };
  // The text colour of a deleted record's row.
  static constexpr QRgb kDeletedColour = 0xFFF37302;

  explicit CFileListCtrl(CStatisticsObj& statistics, QObject* parent = nullptr);

  // The list of `category`; `split` holds App Photos and App Videos. Both must
  // stay in place while the model shows them.
  void showCategory(ScanCategory category, const ScanResults& results, const AppFileSplit& split);
  // The files of one application of App Photos or App Videos.
  void showAppFiles(ScanCategory category, const std::vector<AppFileRecord>& files);
  // Nothing listed (the results are being cleared).
  void clear();
  // The rows again after the statistics hid or showed items.
  void refilter();
  // Check boxes again from the statistics.
  void refreshChecks();

  std::optional<ScanCategory> category() const { return m_category; }
  bool listsAppFiles() const { return m_appFiles != nullptr; }
  const std::vector<Column>& columns() const { return m_columns; }
  // The place of a shown row in the category's own order (the nth
  // conversation or chat for Messages and WhatsApp); -1 when out of range.
  int sourceRow(int row) const;
  // The statistics' key of a shown row: the record, the file, the
  // conversation's first message, or an application's file list.
  const void* recordAt(int row) const;
  // The record of a row of the whole list, filtered or not.
  const void* recordOfSource(int source) const;
  bool isApplicationRow(int row) const;
  bool isDeleted(int row) const;
  // Ticks or unticks a shown row (Space, a click on its box).
  void toggle(int row);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 signals:
  // A row's check box changed the selection.
  void checksChanged();

 private:
  struct Row {
    const void* record;
    const std::string* appName = nullptr;  // application rows only
  };
  QString cellText(const Row& row, int column) const;
  Qt::CheckState checkOf(const Row& row) const;
  void setColumns();
  void rebuildVisible();

  CStatisticsObj& m_statistics;
  std::optional<ScanCategory> m_category;
  const std::vector<AppFileRecord>* m_appFiles = nullptr;
  std::vector<Row> m_rows;
  std::vector<int> m_visible;  // indices into m_rows
  std::vector<Column> m_columns;
};

}  // namespace fq::app
