#include <gtest/gtest.h>
#include <signal.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/InterruptSignal.h"
#include "cli/JsonText.h"
#include "cli/ScanJson.h"
#include "cli/ScanSummary.h"
#include "cli/TerminalText.h"

namespace fq::cli {
namespace {

using Json = nlohmann::ordered_json;

std::vector<std::string> KeysOf(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : object.items()) keys.push_back(key);
  return keys;
}

// The streamed report, and the document it parses to.
struct WrittenReport {
  std::string text;
  Json json;
};

WrittenReport WriteReport(const std::string& source, const std::vector<EventRecorder::Event>& events,
                          const ScanResults& results) {
  std::ostringstream out;
  WriteScanJson(out, source, 0, events, ScanOutcome{}, results);
  WrittenReport report{out.str(), {}};
  report.json = Json::parse(report.text);
  return report;
}

ScanResults SampleResults() {
  ScanResults r;
  r.cameraRoll.push_back({1234, "IMG_0001.JPG", "/b/12/12ab"});
  r.conversations[7].push_back({0, 1, 70, 7, "2019-01-01 10:00:00", "+1555", "Ann", "later handle", ""});
  r.conversations[2].push_back({0, 0, 20, 2, "2019-01-01 09:00:00", "+1444", "", "first", "a.jpg"});
  r.conversations[2].push_back({1, 0, 0, 2, "2019-01-01 09:30:00", "+1444", "", "carved", ""});
  r.messageAttachments.push_back({0, 99, "photo.JPG", "/b/aa/aabb"});
  r.contacts.push_back({1, "a@b.c", "Main St", "", "", "555\n556", "ACME", "Ann"});
  r.calls.push_back({0, 1, 0, "2019-01-02 08:00:00", "+1555", "Ann"});
  r.notes.push_back({0, 3, "2019-01-03 07:00:00", "Title", "Body"});
  r.appFiles.push_back({10, "whatsapp", "clip.MOV", "/b/cc/ccdd"});
  r.appFiles.push_back({11, "instagram", "shot.jpg", "/b/dd/ddee"});
  r.appFiles.push_back({12, "notes", "readme", "/b/ee/eeff"});
  r.whatsAppChats[5].push_back(
      {1, 0, 0, 5, 0, 0, "2019-01-04 06:00:00", "Bo", "hi", "4915", "Bo", "4915", "Bo", ""});
  r.whatsAppAttachments.push_back({77, "voice.opus", "/b/ff/ff00"});
  return r;
}

TEST(ScanJson, HasTheAgreedShapeOfEveryCategory) {
  const ScanResults results = SampleResults();
  const Json report = WriteReport("/backup", {{1032, 0}, {1034, 0}}, results).json;
  EXPECT_EQ(KeysOf(report), (std::vector<std::string>{"source", "result", "events", "outcome", "status",
                                                      "skipped", "categories"}));
  EXPECT_EQ(report["source"], "/backup");
  EXPECT_EQ(report["events"], Json::parse("[[1032, 0], [1034, 0]]"));
  const Json& c = report["categories"];
  ASSERT_EQ(c.size(), 11u);
  EXPECT_EQ(c["Photo Stream"], Json::array());

  EXPECT_EQ(c["Camera Roll"],
            Json::parse(R"([{"name": "IMG_0001.JPG", "size": 1234, "path": "/b/12/12ab"}])"));
  EXPECT_EQ(KeysOf(c["Messages Attachments"][0]), (std::vector<std::string>{"name", "size", "path"}));
  EXPECT_EQ(KeysOf(c["WhatsApp Attachments"][0]), (std::vector<std::string>{"name", "size", "path"}));

  // The map flattened by handle row id, each conversation in its own order.
  ASSERT_EQ(c["Messages"].size(), 3u);
  EXPECT_EQ(c["Messages"][0]["text"], "first");
  EXPECT_EQ(c["Messages"][1]["text"], "carved");
  EXPECT_EQ(c["Messages"][1]["deleted"], 1);
  EXPECT_EQ(c["Messages"][2]["handle_row_id"], 7);
  EXPECT_EQ(KeysOf(c["Messages"][0]),
            (std::vector<std::string>{"deleted", "from_me", "row_id", "handle_row_id", "date", "address",
                                      "contact_name", "text", "attachment"}));
  EXPECT_EQ(c["Contacts"][0],
            Json::parse(R"({"deleted": 1, "name": "Ann", "phone": "555\n556", "email": "a@b.c",
      "address": "Main St", "social": "", "url": "", "company": "ACME"})"));
  EXPECT_EQ(KeysOf(c["Contacts"][0]), (std::vector<std::string>{"deleted", "name", "phone", "email",
                                                                "address", "social", "url", "company"}));
  EXPECT_EQ(KeysOf(c["Call History"][0]),
            (std::vector<std::string>{"deleted", "incoming", "duration", "date", "number", "name"}));
  EXPECT_EQ(KeysOf(c["Notes"][0]), (std::vector<std::string>{"deleted", "key", "date", "title", "body"}));
  EXPECT_EQ(KeysOf(c["WhatsApp"][0]),
            (std::vector<std::string>{"deleted", "from_me", "row_id", "chat_row_id", "member_row_id",
                                      "media_row_id", "date", "sender_name", "text", "sender_phone",
                                      "chat_title", "chat_phones", "partner_name"}));

  // Application files split by extension: MOV is a video; a picture or no extension is a photo.
  ASSERT_EQ(c["App Videos"].size(), 1u);
  EXPECT_EQ(c["App Videos"][0], Json::parse(R"({"app": "whatsapp", "name": "clip.MOV", "size": 10,
      "path": "/b/cc/ccdd"})"));
  ASSERT_EQ(c["App Photos"].size(), 2u);
  EXPECT_EQ(c["App Photos"][0]["app"], "instagram");
  EXPECT_EQ(c["App Photos"][1]["name"], "readme");
}

TEST(ScanJson, DamagedTextNeverBreaksTheDocument) {
  ScanResults results;
  results.cameraRoll.push_back({1, "bad\xFFname", "/p"});
  results.notes.push_back({0, 1, "", "quote \" back\\slash", std::string("tab\tbell\x07nul\0end", 16)});
  const WrittenReport report = WriteReport("/backup\xFE", {}, results);
  EXPECT_EQ(report.json["source"], "/backup\xEF\xBF\xBD");
  EXPECT_EQ(report.json["categories"]["Camera Roll"][0]["name"], "bad\xEF\xBF\xBDname");
  EXPECT_EQ(report.json["categories"]["Notes"][0]["title"], "quote \" back\\slash");
  EXPECT_EQ(report.json["categories"]["Notes"][0]["body"], std::string("tab\tbell\x07nul\0end", 16));
}

TEST(ScanJson, WritesOneRecordALine) {
  ScanResults results = SampleResults();
  for (int i = 0; i < 5000; ++i) results.calls.push_back({0, 1, i, "2019-01-02 08:00:00", "+1555", "Ann"});
  const WrittenReport report = WriteReport("/b", {}, results);
  ASSERT_EQ(report.json["categories"]["Call History"].size(), 5001u);
  EXPECT_EQ(report.json["categories"]["Call History"][5000]["duration"], 4999);
  std::istringstream lines(report.text);
  size_t callLines = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("\"incoming\"") != std::string::npos) {
      ++callLines;
      EXPECT_TRUE(Json::accept(line.substr(0, line.find_last_of('}') + 1)));
    }
  }
  EXPECT_EQ(callLines, 5001u);
}

TEST(JsonText, EscapesWhatJsonRequires) {
  const struct {
    std::string text;
    std::string literal;
  } cases[] = {
      {"plain", R"("plain")"},
      {"a\"b\\c", R"("a\"b\\c")"},
      {"line\nfeed\r", R"("line\nfeed\r")"},
      {std::string("\x01\0", 2), R"("\u0001\u0000")"},
      {"caf\xC3\xA9", "\"caf\xC3\xA9\""},
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},  // an overlong "/" is not text
      // Past the first eight bytes, where a whole word is checked at once.
      {"0123456789\"tail", R"("0123456789\"tail")"},
      {"abcdefghij\\klmnop", R"("abcdefghij\\klmnop")"},
      {"abcdefgh\x1Fijklmnop", R"("abcdefgh\u001fijklmnop")"},
      {"abcdefgh ~!#$%&'()*+,-./09:;<=>?@AZ[]^_`az{|}", R"("abcdefgh ~!#$%&'()*+,-./09:;<=>?@AZ[]^_`az{|}")"},
      {"abcdefghcaf\xC3\xA9\xFF", "\"abcdefghcaf\xC3\xA9\xEF\xBF\xBD\""},
  };
  for (const auto& c : cases) {
    std::string out;
    AppendJsonString(out, c.text);
    EXPECT_EQ(out, c.literal) << c.text;
    EXPECT_TRUE(Json::accept(out));
  }
}

TEST(ScanSummary, CountsLiveAndDeletedPerCategory) {
  const auto counts = CountCategories(SampleResults());
  ASSERT_EQ(counts.size(), 11u);
  EXPECT_EQ(counts[0], (CategoryCount{"Camera Roll", 1, 0, {}, ScanCategory::CameraRoll}));
  EXPECT_EQ(counts[2], (CategoryCount{"Messages", 2, 1, {}, ScanCategory::Messages}));
  EXPECT_EQ(counts[4], (CategoryCount{"Contacts", 0, 1, {}, ScanCategory::Contacts}));
  EXPECT_EQ(counts[7], (CategoryCount{"App Photos", 2, 0, {}, ScanCategory::AppPhotos}));
  EXPECT_EQ(counts[8], (CategoryCount{"App Videos", 1, 0, {}, ScanCategory::AppVideos}));
  EXPECT_EQ(counts[9], (CategoryCount{"WhatsApp", 0, 1, {}, ScanCategory::WhatsApp}));
  EXPECT_EQ(counts[10], (CategoryCount{"WhatsApp Attachments", 1, 0, {}, ScanCategory::WhatsAppAttachments}));
}

TEST(TerminalText, DefusesControlCharacters) {
  EXPECT_EQ(TerminalText("Anna's iPhone"), "Anna's iPhone");
  EXPECT_EQ(TerminalText("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(TerminalText("\x1B]0;pwned\x07name"), "?]0;pwned?name");
  EXPECT_EQ(TerminalText(std::string("a\0b\r\n\x7F", 6)), "a?b???");
  EXPECT_EQ(TerminalText("x\xFFy"), "x\xEF\xBF\xBDy");
}

TEST(InterruptSignal, TurnsCtrlCIntoAnEvent) {
  InterruptSignal interrupt;
  EXPECT_FALSE(interrupt.waitFor(std::chrono::milliseconds(1)));
  ASSERT_EQ(raise(SIGINT), 0);  // handled: the test process goes on
  EXPECT_TRUE(interrupt.waitFor(std::chrono::milliseconds(1000)));
  EXPECT_FALSE(interrupt.waitFor(std::chrono::milliseconds(1)));  // consumed
}

}  // namespace
}  // namespace fq::cli
