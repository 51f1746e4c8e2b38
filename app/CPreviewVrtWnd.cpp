#include "app/CPreviewVrtWnd.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QStackedWidget>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <system_error>

#include "app/CPreviewProcessWnd.h"
#include "app/ChatLine.h"
#include "app/LanguageStore.h"
#include "app/MessagesList.h"
#include "app/ModalDialogs.h"
#include "app/PreviewPicture.h"
#include "app/PreviewPlayers.h"
#include "engine/ResultCodes.h"
#include "engine/session/BackupStore.h"

namespace fq::app {
namespace {

const QColor kDeletedText(0xF3, 0x73, 0x02);
const QColor kNoteText(0x40, 0x40, 0x40);
const QColor kRuleText(0xD7, 0xD7, 0xD7);
const QString kBanner = QStringLiteral("-------------------- Messages --------------------");
const QString kNoPicture = QStringLiteral("Can not found the file!");
// Room a picture is decoded for before the panel has a size of its own.
constexpr QSize kLeastPictureRoom(200, 200);

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString FromPath(const std::filesystem::path& path) { return QFile::decodeName(path.c_str()); }

// A header of a received message names the sender, or the number when the name is unknown.
QString ReceivedHeader(const std::string& date, const std::string& name, const std::string& number) {
  return QStringLiteral("%1 %2:").arg(FromUtf8(date), FromUtf8(name.empty() ? number : name));
}

QString SentHeader(const std::string& date) { return QStringLiteral("%1 Me:").arg(FromUtf8(date)); }

// The banner, then one row per message; `sender` gives a received message's name and number.
template <class Record, class Sender>
std::vector<ChatLine> ChatLines(const std::vector<Record>& messages, Sender sender) {
  std::vector<ChatLine> lines;
  lines.reserve(messages.size() + 1);
  lines.push_back({ChatLine::Kind::Banner, false, {}, kBanner});
  for (const Record& message : messages) {
    const bool sent = message.fromMe != 0;
    const auto [name, number] = sender(message);
    lines.push_back({sent ? ChatLine::Kind::Sent : ChatLine::Kind::Received, message.deleted != 0,
                     sent ? SentHeader(message.date) : ReceivedHeader(message.date, name, number),
                     FromUtf8(message.text)});
  }
  return lines;
}

}  // namespace

CPreviewVrtWnd::CPreviewVrtWnd(const LanguageStore& texts, QWidget* parent)
    : QWidget(parent),
      m_texts(texts),
      m_skin(QStringLiteral("PagePreview"), this),
      m_ownDialogs(std::make_unique<ModalDialogs>(texts)),
      m_pages(m_skin.control<QStackedWidget>("PreviewLayout")),
      m_blank(m_skin.control<QWidget>("PreviewBlank")),
      m_messages(m_skin.control<MessagesList>("MessagesList")),
      m_contactHost(m_skin.control<QWidget>("ContactCard")),
      m_edit(m_skin.control<QTextEdit>("PreviewEdit")),
      m_picture(m_skin.control<QLabel>("PreviewPicture")),
      m_players(new PreviewPlayers(this)) {
  setObjectName("PreviewVtrWnd");
  m_contact = std::make_unique<Skin>(QStringLiteral("ContactInfo"), m_contactHost);
  // Whatever a swapped skin says: record texts are data, never markup.
  m_edit->setReadOnly(true);
  m_edit->setAcceptRichText(false);
  m_picture->setTextFormat(Qt::PlainText);
  for (const char* name :
       {"TxtUserName", "TxtPhone", "TxtEmail", "TxtAddress", "TxtUrl", "TxtSocial", "TxtCompany"})
    m_contact->control<QLabel>(name)->setTextFormat(Qt::PlainText);
  m_pool.setMaxThreadCount(1);
  connect(m_players, &PreviewPlayers::playFailed, this, [this] {
    dialogs().messageBox(window(), kInformation, {}, m_texts.text("Messages", "MSG1207"), QSize(550, 200));
  });
  applyTexts();
  showPage(m_blank);
}

CPreviewVrtWnd::~CPreviewVrtWnd() {
  // A running copy stops at its next step; its late answer is dropped with this object.
  m_closing = true;
  ++m_generation;
  m_pool.waitForDone();
  m_players->stopAll();
}

void CPreviewVrtWnd::applyTexts() {
  m_texts.apply(this, "PagePreview");
  m_texts.apply(m_contactHost, "ContactInfo");
}

void CPreviewVrtWnd::setStore(BackupStore* store, std::filesystem::path workFolder) {
  m_store = store;
  m_workFolder = std::move(workFolder);
  m_lastShown.clear();
  m_copyPath.clear();
  m_copyKind = PreviewKind::None;
}

void CPreviewVrtWnd::setDialogs(DialogHost* dialogs) { m_dialogs = dialogs; }

DialogHost& CPreviewVrtWnd::dialogs() const { return m_dialogs ? *m_dialogs : *m_ownDialogs; }

QWidget* CPreviewVrtWnd::currentPage() const { return m_pages->currentWidget(); }

void CPreviewVrtWnd::showPage(QWidget* page) {
  if (page != m_messages) m_messages->clear();
  if (page != m_edit) m_edit->clear();
  if (page != m_picture) m_picture->clear();
  m_pages->setCurrentWidget(page);
}

void CPreviewVrtWnd::beginRecord() {
  // Whatever file was on its way is no longer wanted.
  ++m_generation;
  m_pending.reset();
}

void CPreviewVrtWnd::clearPreview() {
  beginRecord();
  m_players->stopAll();
  showPage(m_blank);
}

void CPreviewVrtWnd::showLines(std::vector<ChatLine> lines) {
  beginRecord();
  showPage(m_messages);
  m_messages->setLines(std::move(lines));
}

void CPreviewVrtWnd::showConversation(const std::vector<MessageRecord>& messages) {
  showLines(ChatLines(messages, [](const MessageRecord& message) {
    return std::pair<const std::string&, const std::string&>(message.contactName, message.address);
  }));
}

void CPreviewVrtWnd::showWhatsAppChat(const std::vector<WhatsAppMessageRecord>& messages) {
  showLines(ChatLines(messages, [](const WhatsAppMessageRecord& message) {
    return std::pair<const std::string&, const std::string&>(message.senderName, message.senderPhone);
  }));
}

void CPreviewVrtWnd::showContact(const ContactRecord& contact) {
  beginRecord();
  const QString colour = contact.deleted != 0 ? QStringLiteral("color: #F37302;") : QString();
  auto* name = m_contact->control<QLabel>("TxtUserName");
  name->setText(FromUtf8(contact.name));
  name->setStyleSheet(colour);
  const struct {
    const char* row;
    const char* text;
    const std::string& value;
  } fields[] = {{"RowPhone", "TxtPhone", contact.phone},       {"RowEmail", "TxtEmail", contact.email},
                {"RowAddress", "TxtAddress", contact.address}, {"RowUrl", "TxtUrl", contact.url},
                {"RowSocial", "TxtSocial", contact.social},    {"RowCompany", "TxtCompany", contact.company}};
  for (const auto& field : fields) {
    auto* text = m_contact->control<QLabel>(field.text);
    text->setText(FromUtf8(field.value));
    text->setStyleSheet(colour);
    m_contact->control<QWidget>(field.row)->setVisible(!field.value.empty());
  }
  showPage(m_contactHost);
}

QTextCursor CPreviewVrtWnd::emptyEdit() {
  showPage(m_edit);
  m_edit->clear();
  QTextCursor cursor(m_edit->document());
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  cursor.setBlockFormat(centred);
  return cursor;
}

void CPreviewVrtWnd::showNote(const NoteRecord& note) {
  beginRecord();
  // Built with plain-text inserts: a note's text can never become markup.
  QTextCursor cursor = emptyEdit();
  QTextCharFormat rule;
  rule.setForeground(kRuleText);
  cursor.insertText(QStringLiteral("  ---------------------------------------------------  "), rule);
  QTextBlockFormat left;
  left.setAlignment(Qt::AlignLeft);
  cursor.insertBlock(left);
  QTextCharFormat body;
  body.setForeground(note.deleted != 0 ? kDeletedText : kNoteText);
  cursor.insertText(
      QStringLiteral("Title:\n    %1\nNote:\n     %2").arg(FromUtf8(note.title), FromUtf8(note.body)), body);
  m_edit->moveCursor(QTextCursor::Start);
}

void CPreviewVrtWnd::appendLine(const QString& text) {
  QTextCursor cursor = emptyEdit();
  cursor.insertText(text);
  m_edit->setTextCursor(cursor);
  m_edit->ensureCursorVisible();
}

void CPreviewVrtWnd::showFile(const MediaFileRecord& file) { showStoredFile(file.path, FromUtf8(file.name)); }

void CPreviewVrtWnd::showFile(const AttachmentFileRecord& file) {
  showStoredFile(file.path, FromUtf8(file.name));
}

void CPreviewVrtWnd::showFile(const AppFileRecord& file) { showStoredFile(file.path, FromUtf8(file.name)); }

void CPreviewVrtWnd::showStoredFile(const std::filesystem::path& storedPath, const QString& displayName) {
  beginRecord();
  // A player may read the copy about to be replaced: ours stop first (and only ours).
  m_players->stopAll();
  showPage(m_edit);
  m_edit->clear();
  if (!m_store) {
    emit fileSettled();
    return;
  }
  FileRequest request{storedPath, displayName};
  if (m_busy) {
    m_pending = std::move(request);
    return;
  }
  runRequest(request);
}

bool CPreviewVrtWnd::runPending() {
  if (!m_pending) return false;
  const FileRequest next = std::move(*m_pending);
  m_pending.reset();
  runRequest(next);
  return true;
}

void CPreviewVrtWnd::runRequest(const FileRequest& request) {
  const uint64_t generation = m_generation;
  if (!m_copyPath.empty() && request.stored == m_lastShown) {
    showCopy(generation);
    return;
  }
  // The copies are about to change: nothing counts as shown until one is complete.
  m_lastShown.clear();
  m_copyPath.clear();
  m_copyKind = PreviewKind::None;
  std::error_code error;
  uintmax_t size = std::filesystem::file_size(request.stored, error);
  if (error) size = 0;
  m_busy = true;
  if (size > kDirectPreviewCopyLimit) {
    CPreviewProcessWnd progress(m_texts, dialogs(), *m_store, request.stored, request.name, window());
    progress.run();
    progress.waitForCopy();
    copyEnded(generation, request.stored, progress.copyResult(), progress.outputPath());
    return;
  }
  BackupStore* store = m_store;
  m_pool.start([this, store, generation, stored = request.stored] {
    std::filesystem::path output;
    const int32_t result =
        store->ExtractPreview(stored, output, [this](int32_t) { return m_closing ? kCancelled : kOk; });
    QMetaObject::invokeMethod(
        this, [this, generation, stored, result, output] { copyEnded(generation, stored, result, output); },
        Qt::QueuedConnection);
  });
}

bool CPreviewVrtWnd::insideWorkFolder(const std::filesystem::path& path) const {
  if (m_workFolder.empty()) return true;
  const auto folder = m_workFolder.lexically_normal();
  const auto file = path.lexically_normal();
  auto [endFolder, endFile] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
  // A trailing separator of the folder shows as one empty last element.
  return (endFolder == folder.end() || (std::next(endFolder) == folder.end() && endFolder->empty())) &&
         endFile != file.end();
}

void CPreviewVrtWnd::copyEnded(uint64_t generation, const std::filesystem::path& stored, int32_t result,
                               const std::filesystem::path& output) {
  m_busy = false;
  // Only a complete copy is remembered: a cancelled or failed one leaves a
  // partial file that must never be shown for this stored file.
  if (result == kOk && !output.empty() && insideWorkFolder(output)) {
    m_lastShown = stored;
    m_copyPath = output;
    m_copyKind = KindOfCopy(output);
  }
  if (runPending() || generation != m_generation) return;
  if (m_copyPath.empty()) {
    emit fileSettled();
    return;
  }
  showCopy(generation);
}

void CPreviewVrtWnd::showCopy(uint64_t generation) {
  const QString copy = FromPath(m_copyPath);
  switch (m_copyKind) {
    case PreviewKind::Picture: {
      m_busy = true;
      const QSize room = m_pages->size().expandedTo(kLeastPictureRoom) * devicePixelRatioF();
      m_pool.start([this, generation, copy, room] {
        const QImage picture = LoadPreviewPicture(copy, room);
        QMetaObject::invokeMethod(
            this, [this, generation, picture] { pictureLoaded(generation, picture); }, Qt::QueuedConnection);
      });
      return;
    }
    case PreviewKind::Sound:
      m_players->play(PreviewPlayers::Media::Sound, copy);
      break;
    case PreviewKind::Video:
      m_players->play(PreviewPlayers::Media::Video, copy);
      break;
    case PreviewKind::None:
      break;
  }
  emit fileSettled();
}

void CPreviewVrtWnd::pictureLoaded(uint64_t generation, const QImage& picture) {
  m_busy = false;
  if (runPending() || generation != m_generation) return;
  if (picture.isNull()) {
    appendLine(kNoPicture);
  } else {
    // A picture that fits is shown at its own size; a larger one was scaled
    // to the room in device pixels and is drawn at the screen's density.
    QPixmap pixmap = QPixmap::fromImage(picture);
    const QSize room = m_pages->size();
    if (picture.width() > room.width() || picture.height() > room.height())
      pixmap.setDevicePixelRatio(devicePixelRatioF());
    showPage(m_picture);
    m_picture->setPixmap(pixmap);
  }
  emit fileSettled();
}

}  // namespace fq::app
