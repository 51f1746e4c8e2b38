#pragma once
// The preview panel beside the scan's data list: a Messages or WhatsApp
// conversation as bubbles, a contact card, a note, or a stored file copied
// out of the backup (a picture shown here, a sound or video played by the
// players beside the program). Record texts are shown as plain text only.
#include <QString>
#include <QThreadPool>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "app/ChatLine.h"
#include "app/PreviewFiles.h"
#include "app/Skin.h"
#include "engine/records/ContactRecord.h"
#include "engine/records/FileRecords.h"
#include "engine/records/MessageRecords.h"
#include "engine/records/NoteRecord.h"
#include "engine/records/WhatsAppRecords.h"

class QImage;
class QLabel;
class QStackedWidget;
class QTextCursor;
class QTextEdit;

namespace fq {
class BackupStore;
}

namespace fq::app {

class DialogHost;
class LanguageStore;
class MessagesList;
class PreviewPlayers;

// Files up to this size are copied without the progress window.
inline constexpr uintmax_t kDirectPreviewCopyLimit = 65536;

class CPreviewVrtWnd : public QWidget {
  Q_OBJECT
 public:
  CPreviewVrtWnd(const LanguageStore& texts, QWidget* parent);
  ~CPreviewVrtWnd() override;
  void applyTexts();

  // The store whose ExtractPreview copies files, and the folder its copies
  // land in (a copy reported anywhere else is not shown). Until a store is
  // set, files show nothing.
  void setStore(BackupStore* store, std::filesystem::path workFolder);
  // Where boxes and questions are asked; null: the program's own modal windows.
  void setDialogs(DialogHost* dialogs);
  PreviewPlayers& players() const { return *m_players; }

  // The messages of one conversation (a ConversationMap entry), in their order.
  void showConversation(const std::vector<MessageRecord>& messages);
  // The messages of one chat (a WhatsAppChatMap entry), in their order.
  void showWhatsAppChat(const std::vector<WhatsAppMessageRecord>& messages);
  void showContact(const ContactRecord& contact);
  void showNote(const NoteRecord& note);
  // A stored file of the backup: a picture is shown, a sound or video played,
  // anything else shows nothing. Large files are copied with a progress window.
  void showFile(const MediaFileRecord& file);
  void showFile(const AttachmentFileRecord& file);
  void showFile(const AppFileRecord& file);
  void showStoredFile(const std::filesystem::path& storedPath, const QString& displayName);
  // Empties every page and stops the players started here.
  void clearPreview();

  // The page shown now: blank, messages, contact, text or picture.
  QWidget* currentPage() const;
  // Whether a copy or a picture decode is under way.
  bool fileBusy() const { return m_busy; }

 signals:
  // The file asked for last is settled: shown, played, found wanting, or cancelled.
  void fileSettled();

 private:
  struct FileRequest {
    std::filesystem::path stored;
    QString name;
  };
  DialogHost& dialogs() const;
  void beginRecord();
  void showLines(std::vector<ChatLine> lines);
  void showPage(QWidget* page);
  // The text page shown and emptied, its cursor on a centred first line.
  QTextCursor emptyEdit();
  void appendLine(const QString& text);
  void runRequest(const FileRequest& request);
  void copyEnded(uint64_t generation, const std::filesystem::path& stored, int32_t result,
                 const std::filesystem::path& output);
  void showCopy(uint64_t generation);
  void pictureLoaded(uint64_t generation, const QImage& picture);
  // Runs the request that waited for the copy or decode that just ended; false when none waited.
  bool runPending();
  bool insideWorkFolder(const std::filesystem::path& path) const;

  const LanguageStore& m_texts;
  Skin m_skin;
  std::unique_ptr<DialogHost> m_ownDialogs;
  DialogHost* m_dialogs = nullptr;
  BackupStore* m_store = nullptr;
  std::filesystem::path m_workFolder;

  QStackedWidget* m_pages;
  QWidget* m_blank;
  MessagesList* m_messages;
  QWidget* m_contactHost;
  std::unique_ptr<Skin> m_contact;
  QTextEdit* m_edit;
  QLabel* m_picture;
  PreviewPlayers* m_players;

  // The stored file whose complete copy is m_copyPath: selected again, it is
  // shown again without a copy. Empty while no complete copy is known.
  std::filesystem::path m_lastShown;
  std::filesystem::path m_copyPath;
  PreviewKind m_copyKind = PreviewKind::None;
  // Copies and decodes run one at a time (they share the copy files); a
  // request made meanwhile waits here, the latest one only.
  bool m_busy = false;
  std::optional<FileRequest> m_pending;
  // Bumped by every new thing shown: a late result of an older one is dropped.
  uint64_t m_generation = 0;
  std::atomic<bool> m_closing{false};
  QThreadPool m_pool;
};

}  // namespace fq::app
