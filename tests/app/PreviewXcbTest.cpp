// Each kind of preview on an X server, as pictures at the run's scale
// (QT_SCALE_FACTOR), for a person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <memory>

#include "GuiFixtures.h"
#include "app/CPreviewVrtWnd.h"
#include "app/DialogHost.h"
#include "app/LanguageStore.h"
#include "engine/session/BackupStore.h"
#include "engine/session/WorkFolders.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/BackupBuilder.h"
#include "tools/backupbuilder/MediaSamples.h"

namespace fq::app {
namespace {

namespace fs = std::filesystem;

// preview-<name>@<scale>x.png of one top-level window, in FERNQUILL_SCREENSHOTS.
void shoot(QWidget& window, const QString& name) {
  const QString folder = qEnvironmentVariable("FERNQUILL_SCREENSHOTS");
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);
  QTest::qWait(150);  // the last paint reaches the server
  const QPixmap shot = window.screen()->grabWindow(window.winId());
  const QString file =
      QStringLiteral("%1/preview-%2@%3x.png").arg(folder, name).arg(qApp->devicePixelRatio());
  EXPECT_TRUE(shot.save(file)) << file.toStdString();
}

// Boxes are answered by a step of the test; the progress window's question
// is where its picture is taken (the copy waits while it is asked).
class AnsweringDialogs : public DialogHost {
 public:
  std::function<int(QWidget*)> onBox = [](QWidget*) { return kResultOk; };
  int messageBox(QWidget* owner, int, const QString&, const QString&, QSize) override { return onBox(owner); }
  int askPassword(QWidget*, int, std::string&) override { return kResultCancel; }
  QString pickFolder(QWidget*, const QString&) override { return {}; }
  void openUrl(const QString&) override {}
};

TEST(XcbPreview, EachKindOfPreview) {
  testsupport::TempFolder folder{"fq-xcb-preview"};
  LanguageStore texts(FERNQUILL_BIN_DIR, (folder / "user.ini").string());
  AnsweringDialogs dialogs;
  WorkFolders work(folder / "data");
  BackupStore store(work, folder / "backups");

  builder::BackupBuilder backup;
  backup.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.PNG",
                 builder::PngImage(360, 240, 0x2f7d5b));
  backup.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0002.PNG",
                 builder::PngImage(90, 60, 0xd99a1e, 300000));
  // A picture by its signature whose content no reader decodes.
  std::vector<uint8_t> broken = builder::PngImage(8, 8, 0);
  broken.resize(16);
  broken.resize(2000, 0x5a);
  backup.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0003.PNG", broken);
  ASSERT_TRUE(backup.write(folder / "backups/one"));
  const fs::path small = backup.storedPathOf(folder / "backups/one", backup.records()[0]);
  const fs::path large = backup.storedPathOf(folder / "backups/one", backup.records()[1]);
  const fs::path undecodable = backup.storedPathOf(folder / "backups/one", backup.records()[2]);

  CPreviewVrtWnd preview(texts, nullptr);
  preview.setStore(&store, work.PreviewFolder());
  preview.setDialogs(&dialogs);
  preview.resize(420, 560);
  preview.move(40, 40);
  preview.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));

  preview.showConversation({
      {0, 0, 1, 1, "2023-04-01 09:12:00", "+15550100", "Ann Lee", "Are we still on for lunch?", ""},
      {0, 1, 2, 1, "2023-04-01 09:13:10", "+15550100", "", "Yes! 12:30 at the usual place.", ""},
      {1, 0, 0, 1, "2023-04-01 09:20:45", "+15550100", "", "(deleted) Bring the <b>keys</b> please", ""},
      {0, 1, 3, 1, "2023-04-01 09:21:00", "+15550100", "",
       "Sure.\r\n\r\nAnd a long answer that wraps over more than one line of the bubble, to see the wrap.",
       ""},
      {1, 1, 0, 1, "2023-04-01 09:22:00", "+15550100", "", "A deleted message I sent", ""},
  });
  shoot(preview, QStringLiteral("conversation"));

  WhatsAppMessageRecord first;
  first.date = "2022-11-30 18:00:01";
  first.senderPhone = "4915112345";
  first.text = "Hallo from a number without a name";
  WhatsAppMessageRecord second = first;
  second.fromMe = 1;
  second.text = "Hi back";
  preview.showWhatsAppChat({first, second});
  shoot(preview, QStringLiteral("whatsapp"));

  ContactRecord contact;
  contact.name = "Ann Lee";
  contact.phone = "+1 555 0100\n+1 555 0101";
  contact.email = "ann.lee@example.org";
  contact.address = "12 Long Street, Springfield, a town whose address wraps";
  contact.company = "Lee & Sons <Ltd>";
  preview.showContact(contact);
  shoot(preview, QStringLiteral("contact"));
  contact.deleted = 1;
  contact.email.clear();
  preview.showContact(contact);
  shoot(preview, QStringLiteral("contact-deleted"));

  NoteRecord note;
  note.title = "Shopping";
  note.body = "milk\neggs\n<i>bread</i>";
  preview.showNote(note);
  shoot(preview, QStringLiteral("note"));
  note.deleted = 1;
  preview.showNote(note);
  shoot(preview, QStringLiteral("note-deleted"));

  QSignalSpy settled(&preview, &CPreviewVrtWnd::fileSettled);
  preview.showStoredFile(small, QStringLiteral("IMG_0001.PNG"));
  ASSERT_TRUE(settled.wait(20000));
  EXPECT_FALSE(preview.findChild<QLabel*>("PreviewPicture")->pixmap().isNull());
  shoot(preview, QStringLiteral("picture"));
  settled.clear();
  preview.showStoredFile(undecodable, QStringLiteral("IMG_0003.PNG"));
  ASSERT_TRUE(settled.wait(20000));
  shoot(preview, QStringLiteral("undecodable-picture"));

  // The progress window, photographed while its question holds the copy; Cancel goes on.
  bool asked = false;
  dialogs.onBox = [&](QWidget* owner) {
    asked = true;
    QTest::qWait(200);
    shoot(*owner->window(), QStringLiteral("copy-progress"));
    return kResultCancel;
  };
  struct Clicker : QObject {
    bool eventFilter(QObject* object, QEvent* event) override {
      if (event->type() == QEvent::Show && object->objectName() == QLatin1String("PreviewProcessWnd"))
        QMetaObject::invokeMethod(
            object,
            [object] { static_cast<QWidget*>(object)->findChild<QPushButton*>("BtnCancel")->click(); },
            Qt::QueuedConnection);
      return false;
    }
  } clicker;
  qApp->installEventFilter(&clicker);
  settled.clear();
  preview.showStoredFile(large, QStringLiteral("IMG_0002.PNG"));
  if (settled.isEmpty()) {
    ASSERT_TRUE(settled.wait(20000));
  }
  qApp->removeEventFilter(&clicker);
  EXPECT_TRUE(asked);
  shoot(preview, QStringLiteral("picture-after-progress"));
}

}  // namespace
}  // namespace fq::app
