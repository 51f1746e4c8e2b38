#include <gtest/gtest.h>

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTextEdit>
#include <memory>

#include "GuiFixtures.h"
#include "ScriptedDialogs.h"
#include "app/BubbleDelegate.h"
#include "app/CPreviewVrtWnd.h"
#include "app/ChatModel.h"
#include "app/HeifImage.h"
#include "app/LanguageStore.h"
#include "app/MessagesList.h"
#include "app/PreviewPlayers.h"
#include "engine/session/BackupStore.h"
#include "engine/session/WorkFolders.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/BackupBuilder.h"
#include "tools/backupbuilder/MediaSamples.h"

namespace fq::app {
namespace {

namespace fs = std::filesystem;

// The height a bubble's text takes, measured here the way the list is laid
// out: the viewport less the row padding, the bubble's text padding and 10.
int MeasuredText(const QListView& list, const QString& text, ChatLine::Kind kind) {
  const QMargins padding = BubbleDelegate::TextPadding(kind);
  const int width = list.viewport()->width() - 20 - padding.left() - padding.right() - 10;
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return list.fontMetrics().boundingRect(QRect(0, 0, width, 9999), Qt::TextWordWrap, shown).height();
}

TEST(MessagesListRows, BlankLinesAddThirtyEachOverTheMeasuredText) {
  const struct {
    const char* text;
    int extra;
  } cases[] = {
      {"one line", 0},         {"first\r\n\r\nsecond\r\n\r\nthird", 60},  // two Windows blank lines
      {"first\n\nsecond", 30}, {"three breaks\n\n\noverlap", 60},         // "\n\n" at two overlapping places
      {"a\r\n\r\n\r\nb", 60},                                             // "\r\n\r\n" twice, overlapping
      {"no blank\r\nline", 0},
  };
  MessagesList list;
  list.resize(360, 400);
  list.show();
  std::vector<ChatLine> lines{{ChatLine::Kind::Banner, false, {}, QStringLiteral("banner")}};
  for (const auto& c : cases) lines.push_back({ChatLine::Kind::Received, false, QStringLiteral("h"), c.text});
  list.setLines(lines);
  EXPECT_EQ(list.sizeHintForIndex(list.model()->index(0, 0)).height(), 20);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].text);
    const int row = list.sizeHintForIndex(list.model()->index(static_cast<int>(i) + 1, 0)).height();
    // text padding 10 + 10, the bubble's 20, the header's 20 and the gap of 5
    const int base =
        MeasuredText(list, QString::fromUtf8(cases[i].text), ChatLine::Kind::Received) + 20 + 20 + 25;
    EXPECT_EQ(row - base, cases[i].extra);
  }
}

TEST(MessagesListRows, HeightsFollowTheWidth) {
  MessagesList list;
  list.resize(600, 400);
  list.show();
  const QString longText = QString(QStringLiteral("word ")).repeated(80);
  list.setLines({{ChatLine::Kind::Sent, false, QStringLiteral("h"), longText}});
  const QModelIndex row = list.model()->index(0, 0);
  const int wide = list.sizeHintForIndex(row).height();
  EXPECT_EQ(wide, MeasuredText(list, longText, ChatLine::Kind::Sent) + 65);
  list.resize(250, 400);
  const int narrow = list.sizeHintForIndex(row).height();
  EXPECT_GT(narrow, wide);
  EXPECT_EQ(narrow, MeasuredText(list, longText, ChatLine::Kind::Sent) + 65);
}

// Counts the progress windows that show and can cancel the next one as it appears.
class ProgressWindowWatch : public QObject {
 public:
  ProgressWindowWatch() { qApp->installEventFilter(this); }
  ~ProgressWindowWatch() override { qApp->removeEventFilter(this); }
  int shown = 0;
  bool cancelNext = false;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Show && object->objectName() == QLatin1String("PreviewProcessWnd")) {
      ++shown;
      if (cancelNext) {
        cancelNext = false;
        static_cast<QWidget*>(object)->findChild<QPushButton*>("BtnCancel")->click();
      }
    }
    return false;
  }
};

class Preview : public testing::Test {
 protected:
  void SetUp() override {
    m_texts = std::make_unique<LanguageStore>(FERNQUILL_BIN_DIR, (m_folder / "user.ini").string());
    m_work = std::make_unique<WorkFolders>(m_folder / "app data");
    m_store = std::make_unique<BackupStore>(*m_work, m_folder / "backups");
    m_preview = std::make_unique<CPreviewVrtWnd>(*m_texts, nullptr);
    m_preview->setStore(m_store.get(), m_work->PreviewFolder());
    m_preview->setDialogs(&m_dialogs);
    m_preview->resize(420, 600);
    m_preview->show();
  }
  void TearDown() override {
    m_preview.reset();
    if (m_decoy && m_decoy->state() != QProcess::NotRunning) {
      m_decoy->kill();
      m_decoy->waitForFinished();
    }
  }

  // Writes a backup holding `files` (camera roll names and contents) and
  // answers where each content lies.
  std::vector<fs::path> backupOf(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
    builder::BackupBuilder backup;
    for (const auto& [name, content] : files)
      backup.addFile("CameraRollDomain", "Media/DCIM/100APPLE/" + name, content);
    const fs::path folder = m_folder / "backups" / ("backup" + std::to_string(m_backups++));
    EXPECT_TRUE(backup.write(folder));
    std::vector<fs::path> stored;
    for (const auto& record : backup.records()) stored.push_back(backup.storedPathOf(folder, record));
    return stored;
  }
  fs::path storedFile(const std::string& name, std::vector<uint8_t> content) {
    return backupOf({{name, std::move(content)}}).front();
  }

  // Selects a stored file and waits until the preview settled it.
  void select(const fs::path& stored) {
    QSignalSpy settled(m_preview.get(), &CPreviewVrtWnd::fileSettled);
    m_preview->showStoredFile(stored, QString::fromStdString(stored.filename().string()));
    if (settled.isEmpty()) {
      ASSERT_TRUE(settled.wait(20000));
    }
  }

  QWidget* page(const char* name) const { return m_preview->findChild<QWidget*>(name); }
  QSize shownPicture() const {
    const QPixmap pixmap = m_preview->findChild<QLabel*>("PreviewPicture")->pixmap();
    return pixmap.isNull() ? QSize() : pixmap.deviceIndependentSize().toSize();
  }
  QString editText() const { return m_preview->findChild<QTextEdit*>("PreviewEdit")->toPlainText(); }

  // A launcher script in `folder` with `body` as its shell commands.
  static void writeScript(const fs::path& path, const std::string& body) {
    test::writeText(path, "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
  }
  // Fake players in a folder of their own: each logs its arguments and then runs `body`.
  fs::path fakePlayers(const std::string& body) {
    const fs::path folder = m_folder / "fake players";
    for (const char* name : {"Player", "Player1"})
      writeScript(
          folder / name,
          "printf '%s|' \"$@\" >> \"$(dirname \"$0\")/calls\"; echo >> \"$(dirname \"$0\")/calls\"\n" + body);
    m_preview->players().setFolder(folder);
    return folder;
  }
  static std::vector<std::string> readLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // The folder's name has a space: paths must reach the players whole.
  testsupport::TempFolder m_folder{"fq preview"};
  test::ScriptedDialogs m_dialogs;
  std::unique_ptr<LanguageStore> m_texts;
  std::unique_ptr<WorkFolders> m_work;
  std::unique_ptr<BackupStore> m_store;
  std::unique_ptr<CPreviewVrtWnd> m_preview;
  std::unique_ptr<QProcess> m_decoy;
  int m_backups = 0;
};

// A PNG of exactly `size` bytes (padding after its end is ignored by readers).
std::vector<uint8_t> PngOfSize(uint32_t width, uint32_t height, size_t size) {
  std::vector<uint8_t> png = builder::PngImage(width, height, 0x3366cc, size - 64);
  EXPECT_LE(png.size(), size);
  png.resize(size, 0);
  return png;
}

TEST_F(Preview, MarkupInRecordsIsShownAsText) {
  const std::string markup = "<b>bold</b><img src=\"file:///etc/passwd\"><a href=\"x\">link</a>";
  const QString shown = QString::fromStdString(markup);

  m_preview->showConversation({{0, 0, 1, 1, "2020-01-02 03:04:05", "+15550001", "", markup, ""},
                               {1, 1, 0, 1, "2020-01-02 03:05:00", "+15550001", "Ann", "sent & deleted", ""},
                               {0, 0, 3, 1, "2020-01-02 03:06:00", "+15550001", "Ann", "named", ""}});
  auto* list = m_preview->findChild<MessagesList*>("MessagesList");
  ASSERT_EQ(m_preview->currentPage(), list);
  const ChatModel& chat = list->chat();
  ASSERT_EQ(chat.rowCount(), 4);
  EXPECT_EQ(chat.line(0).text, QStringLiteral("-------------------- Messages --------------------"));
  EXPECT_EQ(chat.line(1).text, shown);
  // No name: the number; sent: "Me"; a deleted message stays marked.
  EXPECT_EQ(chat.line(1).header, QStringLiteral("2020-01-02 03:04:05 +15550001:"));
  EXPECT_EQ(chat.line(2).header, QStringLiteral("2020-01-02 03:05:00 Me:"));
  EXPECT_EQ(chat.line(2).kind, ChatLine::Kind::Sent);
  EXPECT_TRUE(chat.line(2).deleted);
  EXPECT_EQ(chat.line(3).header, QStringLiteral("2020-01-02 03:06:00 Ann:"));

  WhatsAppMessageRecord whatsApp;
  whatsApp.date = "2021-05-06 07:08:09";
  whatsApp.senderPhone = "4915112345";
  whatsApp.text = markup;
  m_preview->showWhatsAppChat({whatsApp});
  EXPECT_EQ(list->chat().line(1).text, shown);
  EXPECT_EQ(list->chat().line(1).header, QStringLiteral("2021-05-06 07:08:09 4915112345:"));

  ContactRecord contact;
  contact.name = markup;
  contact.phone = "<i>555</i>";
  m_preview->showContact(contact);
  auto* name = m_preview->findChild<QLabel*>("TxtUserName");
  EXPECT_EQ(name->textFormat(), Qt::PlainText);
  EXPECT_EQ(name->text(), shown);
  EXPECT_EQ(m_preview->findChild<QLabel*>("TxtPhone")->textFormat(), Qt::PlainText);

  NoteRecord note;
  note.title = "<h1>Title</h1>";
  note.body = markup;
  m_preview->showNote(note);
  EXPECT_EQ(m_preview->currentPage(), page("PreviewEdit"));
  EXPECT_TRUE(editText().contains(shown));
  EXPECT_TRUE(editText().contains(QStringLiteral("<h1>Title</h1>")));
  EXPECT_TRUE(m_preview->findChild<QTextEdit*>("PreviewEdit")->document()->allFormats().size() > 0);
}

TEST_F(Preview, ContactCardHidesEmptyRowsAndColoursADeletedContact) {
  ContactRecord contact;
  contact.deleted = 1;
  contact.name = "Ann Lee";
  contact.phone = "+1 555 0100\n+1 555 0101";
  contact.company = "Lee & Sons";
  m_preview->showContact(contact);
  EXPECT_EQ(m_preview->currentPage(), page("ContactCard"));
  for (const char* row : {"RowPhone", "RowCompany"}) EXPECT_FALSE(page(row)->isHidden()) << row;
  for (const char* row : {"RowEmail", "RowAddress", "RowUrl", "RowSocial"})
    EXPECT_TRUE(page(row)->isHidden()) << row;
  EXPECT_EQ(m_preview->findChild<QLabel*>("TxtPhone")->text(), QStringLiteral("+1 555 0100\n+1 555 0101"));
  EXPECT_EQ(m_preview->findChild<QLabel*>("TxtUserName")->palette().color(QPalette::WindowText),
            QColor(0xF3, 0x73, 0x02));

  contact.deleted = 0;
  contact.email = "ann@example.org";
  m_preview->showContact(contact);
  EXPECT_FALSE(page("RowEmail")->isHidden());
  EXPECT_NE(m_preview->findChild<QLabel*>("TxtUserName")->palette().color(QPalette::WindowText),
            QColor(0xF3, 0x73, 0x02));
}

TEST_F(Preview, NoteShowsTitleAndTextInItsColour) {
  NoteRecord note;
  note.deleted = 1;
  note.title = "Shopping";
  note.body = "milk\neggs";
  m_preview->showNote(note);
  EXPECT_EQ(editText(), QStringLiteral("  ---------------------------------------------------  \nTitle:\n    "
                                       "Shopping\nNote:\n     milk\neggs"));
  QTextCursor cursor(m_preview->findChild<QTextEdit*>("PreviewEdit")->document());
  cursor.movePosition(QTextCursor::End);
  EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(0xF3, 0x73, 0x02));
  EXPECT_EQ(m_preview->findChild<QTextEdit*>("PreviewEdit")->isReadOnly(), true);
}

TEST_F(Preview, FilesUpTo65536BytesAreCopiedDirectlyLargerOnesThroughTheProgressWindow) {
  const struct {
    size_t size;
    int windows;
  } cases[] = {{65536, 0}, {65537, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const fs::path stored = storedFile("IMG_" + std::to_string(c.size) + ".PNG", PngOfSize(40, 30, c.size));
    ASSERT_EQ(fs::file_size(stored), c.size);
    ProgressWindowWatch watch;
    select(stored);
    EXPECT_EQ(watch.shown, c.windows);
    EXPECT_EQ(m_preview->currentPage(), page("PreviewPicture"));
    EXPECT_EQ(shownPicture(), QSize(40, 30));
    const fs::path copy = m_work->PreviewFolder() / "tmp.jpg";
    EXPECT_EQ(fs::file_size(copy), c.size);
  }
}

TEST_F(Preview, ACancelledCopyIsNeverShownAndIsCopiedAgain) {
  const auto stored =
      backupOf({{"SMALL.PNG", PngOfSize(40, 30, 2000)}, {"LARGE.PNG", PngOfSize(80, 60, 300000)}});
  ProgressWindowWatch watch;
  select(stored[0]);
  EXPECT_EQ(shownPicture(), QSize(40, 30));

  // Cancelled part way: the partial copy is not shown.
  watch.cancelNext = true;
  select(stored[1]);
  EXPECT_EQ(watch.shown, 1);
  ASSERT_EQ(m_dialogs.boxes.size(), 1u);
  EXPECT_EQ(m_dialogs.boxes[0].text, m_texts->text("Messages", "MSG0903"));
  EXPECT_EQ(m_dialogs.boxes[0].kind, kQuestion);
  EXPECT_TRUE(shownPicture().isEmpty());
  EXPECT_LT(fs::file_size(m_work->PreviewFolder() / "tmp.jpg"), 300000u);

  // The earlier picture's copy was overwritten: it is copied again, not taken from tmp.jpg.
  select(stored[0]);
  EXPECT_EQ(shownPicture(), QSize(40, 30));
  // And the cancelled one is copied again, whole this time.
  select(stored[1]);
  EXPECT_EQ(watch.shown, 2);
  EXPECT_EQ(shownPicture(), QSize(80, 60));
  EXPECT_EQ(fs::file_size(m_work->PreviewFolder() / "tmp.jpg"), 300000u);
}

TEST_F(Preview, TheSameVideoTwiceIsCopiedOnceAndPlayedTwice) {
  const fs::path players = fakePlayers("echo 'V: 00:00:01 (1%)'; exec sleep 30");
  const fs::path stored = storedFile("IMG_0002.MP4", builder::Mp4Movie(100000));
  ProgressWindowWatch watch;
  select(stored);
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_preview->players().playing() == 1; }, 10000));
  select(stored);
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_preview->players().playing() == 1; }, 10000));
  EXPECT_EQ(watch.shown, 1);
  // The first player was stopped before the second started.
  EXPECT_EQ(m_preview->players().running(), 1);
  const auto calls = readLines(players / "calls");
  ASSERT_EQ(calls.size(), 2u);
  const std::string copy = (m_work->PreviewFolder() / "tmp.avi").string();
  EXPECT_EQ(calls[0],
            "-aspect|16:9|-vo|direct3d|-lavdopts|threads=4|-geometry|845:260|-x|326|-y|189|" + copy + "|");
  EXPECT_EQ(calls[1], calls[0]);
  EXPECT_TRUE(m_dialogs.boxes.empty());
}

TEST_F(Preview, APlayerThatShowsNoProgressIsReported) {
  const struct {
    const char* name;
    std::string body;  // empty: no launcher at all
    bool reported;
  } cases[] = {
      {"progress", "echo 'A: 00:00:00 / 00:00:02 (5%)'; exec sleep 30", false},
      {"silent", "exit 0", true},
      {"error output only", "echo 'Failed to recognize file format.' >&2; exit 2", true},
      {"missing", "", true},
  };
  const fs::path stored = storedFile("SOUND.WAV", builder::WavAudio(4000));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_dialogs.boxes.clear();
    if (c.body.empty())
      m_preview->players().setFolder(m_folder / "no players here");
    else
      fakePlayers(c.body);
    select(stored);
    if (c.reported) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dialogs.boxes.empty(); }, 10000));
      EXPECT_EQ(m_dialogs.boxes[0].kind, kInformation);
      EXPECT_EQ(m_dialogs.boxes[0].text, m_texts->text("Messages", "MSG1207"));
      EXPECT_EQ(m_dialogs.boxes[0].size, QSize(550, 200));
    } else {
      ASSERT_TRUE(QTest::qWaitFor([&] { return m_preview->players().playing() == 1; }, 10000));
      QTest::qWait(200);
      EXPECT_TRUE(m_dialogs.boxes.empty());
    }
    m_preview->clearPreview();
  }
  // A player stopped by us is never reported.
  EXPECT_EQ(m_dialogs.boxes.size(), 1u);
}

TEST_F(Preview, OnlyOurOwnPlayersAreStopped) {
  // Someone else's process with the player's very name.
  const fs::path decoy = m_folder / "elsewhere" / "Player";
  writeScript(decoy, "while :; do sleep 1; done");
  m_decoy = std::make_unique<QProcess>();
  m_decoy->start(QString::fromStdString(decoy.string()), {});
  ASSERT_TRUE(m_decoy->waitForStarted());

  fakePlayers("echo '(1%)'; exec sleep 30");
  select(storedFile("IMG_0003.MP4", builder::Mp4Movie(4096)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_preview->players().playing() == 1; }, 10000));
  m_preview->clearPreview();
  EXPECT_EQ(m_preview->players().running(), 0);
  QTest::qWait(300);
  EXPECT_EQ(m_decoy->state(), QProcess::Running);
  EXPECT_TRUE(m_dialogs.boxes.empty());
}

TEST_F(Preview, UndecodablePicturesAndMissingFilesShowNoPicture) {
  std::vector<uint8_t> garbage = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00};
  for (uint32_t i = 0; garbage.size() < 4000; ++i)
    garbage.push_back(static_cast<uint8_t>(i * 2654435761u >> 24));
  const fs::path broken = storedFile("BROKEN.JPG", garbage);
  select(broken);
  EXPECT_EQ(m_preview->currentPage(), page("PreviewEdit"));
  EXPECT_EQ(editText(), QStringLiteral("Can not found the file!"));
  EXPECT_TRUE(shownPicture().isEmpty());

  select(m_folder / "backups" / "gone" / "00" / "0011223344556677889900112233445566778899");
  EXPECT_EQ(editText(), QString());
  EXPECT_TRUE(shownPicture().isEmpty());
  EXPECT_TRUE(m_dialogs.boxes.empty());
}

TEST_F(Preview, HeicPicturesAreDecoded) {
  const QString encoder = QStandardPaths::findExecutable(QStringLiteral("heif-enc"));
  if (!HeifSupported() || encoder.isEmpty()) GTEST_SKIP() << "no libheif in this build or no heif-enc";
  const fs::path png = m_folder / "source.png";
  const auto pngBytes = builder::PngImage(64, 48, 0xcc3322);
  test::writeText(png, std::string(pngBytes.begin(), pngBytes.end()));
  const fs::path heic = m_folder / "picture.heic";
  ASSERT_EQ(QProcess::execute(encoder, {QStringLiteral("-o"), QString::fromStdString(heic.string()),
                                        QString::fromStdString(png.string())}),
            0);
  std::ifstream in(heic, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Short files are never recognised; a free box at the end keeps the picture as it is.
  if (bytes.size() < 600) {
    const uint32_t pad = static_cast<uint32_t>(600 - bytes.size());
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(pad >> shift));
    for (const char c : std::string("free")) bytes.push_back(static_cast<uint8_t>(c));
    bytes.resize(600, 0);
  }
  select(storedFile("IMG_0004.HEIC", bytes));
  EXPECT_EQ(m_preview->currentPage(), page("PreviewPicture"));
  EXPECT_EQ(shownPicture(), QSize(64, 48));
}

// The launchers beside the program, run over a stand-in mpv that writes the
// arguments it was given, one a line.
TEST_F(Preview, LaunchersHandMpvTheMappedOptionsAndTheFileWhole) {
  const fs::path fake = m_folder / "fake mpv";
  writeScript(fake / "mpv", "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"; echo '(1%)'");
  const QString file = QString::fromStdString((m_folder / "a folder" / "tmp file.avi").string());
  const struct {
    const char* launcher;
    PreviewPlayers::Media media;
    std::vector<std::string> expected;
  } cases[] = {
      {"Player",
       PreviewPlayers::Media::Video,
       {"--force-window=yes", "--keep-open=no", "--ao=null", "--mute=yes", "--video-aspect-override=16:9",
        "--vd-lavc-threads=4", "--geometry=326x189+845+260", "--", file.toStdString()}},
      {"Player1",
       PreviewPlayers::Media::Sound,
       {"--force-window=yes", "--geometry=400x100", "--keep-open=no", "--ao=null", "--mute=yes", "--",
        file.toStdString()}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.launcher);
    QProcess launcher;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"),
                       QString::fromStdString(fake.string()) + QStringLiteral(":/usr/bin:/bin"));
    environment.insert(QStringLiteral("FERNQUILL_PLAYER_OPTIONS"), QStringLiteral("--ao=null --mute=yes"));
    launcher.setProcessEnvironment(environment);
    launcher.setProcessChannelMode(QProcess::MergedChannels);
    launcher.start(QStringLiteral(FERNQUILL_BIN_DIR "/") + QString::fromLatin1(c.launcher),
                   PreviewPlayers::Arguments(c.media, file));
    ASSERT_TRUE(launcher.waitForFinished(10000));
    EXPECT_EQ(launcher.exitCode(), 0);
    EXPECT_TRUE(launcher.readAll().contains('%'));
    EXPECT_EQ(readLines(fake / "args"), c.expected);
  }
}

// One run of the real launchers with mpv, without a sound card or a screen.
TEST_F(Preview, RealPlayerPlaysASoundAndReportsAnUnplayableVideo) {
  if (QStandardPaths::findExecutable(QStringLiteral("mpv")).isEmpty()) GTEST_SKIP() << "mpv is not installed";
  qputenv("FERNQUILL_PLAYER_OPTIONS", "--ao=null --vo=null");
  m_preview->players().setFolder(FERNQUILL_BIN_DIR);
  const auto stored =
      backupOf({{"SOUND.WAV", builder::WavAudio(16000)}, {"MOVIE.MP4", builder::Mp4Movie(4096)}});
  select(stored[0]);
  EXPECT_TRUE(QTest::qWaitFor([&] { return m_preview->players().playing() == 1 || !m_dialogs.boxes.empty(); },
                              20000));
  EXPECT_EQ(m_preview->players().playing(), 1);
  EXPECT_TRUE(m_dialogs.boxes.empty());

  select(stored[1]);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dialogs.boxes.empty(); }, 20000));
  EXPECT_EQ(m_dialogs.boxes[0].text, m_texts->text("Messages", "MSG1207"));
  qunsetenv("FERNQUILL_PLAYER_OPTIONS");
}

}  // namespace
}  // namespace fq::app
