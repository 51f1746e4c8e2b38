#include <gtest/gtest.h>

#include "output/TextFiles.h"
#include "tests/output/OutputTestSupport.h"

namespace fq {
namespace {

using test::ReadBytes;
using test::ScratchFolder;

const std::string kBom = "\xEF\xBB\xBF";

TEST(TextFiles, ConversationTextIsByteExact) {
  ScratchFolder dir;
  const std::vector<MessageRecord> messages = {
      {.fromMe = 0,
       .date = "2024-01-02 03:04:05",
       .address = "+15550100",
       .contactName = "Ann",
       .text = "hi"},
      {.fromMe = 1,
       .date = "2024-01-02 03:05:00",
       .address = "+15550100",
       .contactName = "Unknown",
       .text = "two\nlines"},
  };
  const auto path = dir.path() / "Message" / "Ann-1" / "Ann(+15550100).txt";
  ASSERT_EQ(WriteConversationText(path, &messages), 0);
  EXPECT_EQ(ReadBytes(path), kBom +
                                 "      From: Ann(+15550100)\r\n"
                                 "      Data: 2024-01-02 03:04:05\r\n"
                                 "   Content: hi\r\n"
                                 "\r\n"
                                 "        To: +15550100\r\n"
                                 "      Data: 2024-01-02 03:05:00\r\n"
                                 "   Content: two\r\nlines\r\n"
                                 "\r\n");

  ASSERT_EQ(WriteConversationText(dir.path() / "missing.txt", nullptr), 0);
  EXPECT_EQ(ReadBytes(dir.path() / "missing.txt"), kBom);
}

TEST(TextFiles, ChatTextAndCsvAreByteExact) {
  ScratchFolder dir;
  const std::vector<WhatsAppMessageRecord> chat = {
      {.fromMe = 1, .date = "2024-01-02 03:04:05", .senderName = "Me", .text = "a, b"},
      {.fromMe = 0,
       .date = "2024-01-02 03:04:06",
       .senderName = "Bob",
       .text = "say \"hi\"\nnow",
       .senderPhone = "15550111"},
  };
  ASSERT_EQ(WriteChatText(dir.path() / "c.txt", &chat), 0);
  EXPECT_EQ(ReadBytes(dir.path() / "c.txt"), kBom +
                                                 "        To: Me()\r\n"
                                                 "      Data: 2024-01-02 03:04:05\r\n"
                                                 "   Content: a, b\r\n"
                                                 "\r\n"
                                                 "      From: Bob(15550111)\r\n"
                                                 "      Data: 2024-01-02 03:04:06\r\n"
                                                 "   Content: say \"hi\"\r\nnow\r\n"
                                                 "\r\n");
  ASSERT_EQ(WriteChatCsv(dir.path() / "c.csv", &chat), 0);
  EXPECT_EQ(ReadBytes(dir.path() / "c.csv"),
            kBom +
                "Chats,Name/Phone,Date,Type,Content\r\n"
                "Me,,2024-01-02 03:04:05,Send,\"a, b\"\r\n"
                "Bob,15550111,2024-01-02 03:04:06,Received,\"say \"\"hi\"\"\r\nnow\"\r\n");
  ASSERT_EQ(WriteChatCsv(dir.path() / "none.csv", nullptr), 0);
  EXPECT_EQ(ReadBytes(dir.path() / "none.csv"), kBom + "Chats,Name/Phone,Date,Type,Content\r\n");
}

TEST(TextFiles, CsvFieldQuotesOnlyWhatNeedsIt) {
  struct Case {
    std::string in, out;
  } cases[] = {{"plain", "plain"},       {"", ""},
               {"a,b", "\"a,b\""},       {"say \"x\"", "\"say \"\"x\"\"\""},
               {"l1\nl2", "\"l1\nl2\""}, {"cr\r", "\"cr\r\""}};
  for (const auto& c : cases) EXPECT_EQ(CsvField(c.in), c.out) << c.in;
}

TEST(TextFiles, UncreatableFileGivesTheErrno) {
  ScratchFolder dir;
  test::WriteBytes(dir.path() / "file", "x");
  EXPECT_NE(WriteChatText(dir.path() / "file" / "c.txt", nullptr), 0);
}

}  // namespace
}  // namespace fq
