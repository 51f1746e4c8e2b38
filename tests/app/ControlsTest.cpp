#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "app/CButtonGifUI.h"
#include "app/CLabelExUI.h"

namespace fq::app {
namespace {

TEST(CButtonGifUI, PlaysOurGifAndStopsWhenHidden) {
  CButtonGifUI button;
  button.resize(64, 64);
  EXPECT_FALSE(button.setGifFile(QStringLiteral(":/skins/gif/missing.gif")));
  ASSERT_TRUE(button.setGifFile(QStringLiteral(":/skins/gif/loading.gif")));
  EXPECT_EQ(button.frameCount(), 3);
  button.show();
  button.play();
  EXPECT_TRUE(button.playing());
  // The first frame is drawn stretched to the control: its dot sits near the top.
  const QImage picture = button.grab().toImage();
  EXPECT_NE(picture.pixelColor(32, 10).alpha(), 0);
  button.hide();
  EXPECT_FALSE(button.playing());
  // Loading another file stops the running one first.
  button.show();
  button.play();
  ASSERT_TRUE(button.setGifFile(QStringLiteral(":/skins/gif/loading.gif")));
  EXPECT_FALSE(button.playing());
}

TEST(CLabelExUI, WordWrapFlagWraps) {
  CLabelExUI label;
  label.setText(QStringLiteral("a long chat message that needs more than one line at this width"));
  const int wrapped = label.heightForWidth(80);
  label.setTextFlags(Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine);
  EXPECT_GT(wrapped, label.heightForWidth(80));
}

}  // namespace
}  // namespace fq::app
