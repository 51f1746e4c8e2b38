#pragma once
// The backup page: the backups found on this computer, a folder picker for a
// backup elsewhere, and the start of a backup scan (with the password of an
// encrypted backup).
#include <QWidget>
#include <string>
#include <vector>

#include "app/Skin.h"
#include "engine/backup/BackupInfo.h"

class QPushButton;
class QStandardItemModel;
class QTreeView;

namespace fq {
class BackupStore;
class IEventSink;
}  // namespace fq

namespace fq::app {

class CScanVrtWnd;
class DialogHost;
class LanguageStore;

class CItunesBackupVrtWnd : public QWidget {
  Q_OBJECT
 public:
  CItunesBackupVrtWnd(const LanguageStore& texts, DialogHost& dialogs, BackupStore& store, CScanVrtWnd& scan,
                      IEventSink& sink, QWidget* parent);
  void applyTexts();
  // Reads the backup root again and fills the list; the first row is selected.
  void refresh();
  void setControlsEnabled(bool enabled);
  bool listEmpty() const { return m_backups.empty(); }
  const std::vector<BackupInfo>& backups() const { return m_backups; }
  // The password step for `backup`: false when the user cancelled it.
  bool passwordStep(const BackupInfo& backup);
  const Skin& skin() const { return m_skin; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void scanSelected();
  void selectFolder();
  void startScan(const BackupInfo& backup);

  const LanguageStore& m_texts;
  DialogHost& m_dialogs;
  BackupStore& m_store;
  CScanVrtWnd& m_scan;
  IEventSink& m_sink;
  Skin m_skin;
  QTreeView* m_list;
  QStandardItemModel* m_model;
  QPushButton* m_scanButton;
  QPushButton* m_selDir;
  std::vector<BackupInfo> m_backups;
  bool m_enabled = true;
};

}  // namespace fq::app
