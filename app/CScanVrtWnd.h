#pragma once
// The scan page. For now it takes the scan requests (source, backup,
// password) and keeps them; the scan view itself is built on top of this.
#include <QWidget>
#include <string>
#include <vector>

#include "app/Skin.h"
#include "engine/backup/BackupInfo.h"

namespace fq::app {

class LanguageStore;

class CScanVrtWnd : public QWidget {
  Q_OBJECT
 public:
  struct Request {
    int source = 0;
    BackupInfo backup;
    bool withPassword = false;
  };

  CScanVrtWnd(const LanguageStore& texts, QWidget* parent);
  ~CScanVrtWnd() override;
  void applyTexts();

  void setBackup(const BackupInfo& backup) { m_backup = backup; }
  // Kept until the scan's Open reads it, then wiped.
  void setBackupPassword(std::string password);
  void start(int source);
  int source() const { return m_source; }
  const std::vector<Request>& requests() const { return m_requests; }
  const Skin& skin() const { return m_skin; }

 signals:
  void homeRequested();

 private:
  const LanguageStore& m_texts;
  Skin m_skin;
  BackupInfo m_backup;
  std::string m_password;
  int m_source = 0;
  std::vector<Request> m_requests;
};

}  // namespace fq::app
