#pragma once
// The result rows of a recovery for the window's table: "File" and "Status",
// failed rows on top (newest first, in the error colour), "Success" rows
// appended. Rows arrive in batches, so 100,000 of them stay cheap.
#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "output/RecoveryJob.h"

namespace fq::app {

class RecoveryRowsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void append(const std::vector<RecoveryRow>& rows);
  int failedCount() const { return static_cast<int>(m_failed.size()); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  struct Row {
    QString file;
    QString status;
  };
  const Row& rowAt(int row) const;

  std::vector<Row> m_failed;  // oldest first; shown newest first
  std::vector<Row> m_succeeded;
};

}  // namespace fq::app
