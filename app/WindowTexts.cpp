#include "app/WindowTexts.h"

#include <string_view>
#include <utility>

#include "app/LanguageStore.h"

namespace fq::app {
namespace {

constexpr std::pair<std::string_view, const char*> kEnglish[] = {
    {"MSG0509", "Choose a folder for the recovered data"},
    {"MSG0903", "Do you want to cancel?"},
    {"MSG1101", "Recovering the selected data..."},
    {"MSG1102", "%d of %d items done: %d recovered, %d failed"},
    {"MSG1103", "Do you want to stop the recovery?"},
    {"MSG1104", "A report template of the program is missing or damaged. Nothing was recovered."},
    {"MSG1105",
     "This folder is the backup being read. The backup is never written to: choose another folder."},
    {"MSG1106",
     "This folder lies inside the backup being read. The backup is never written to: choose a folder "
     "outside it."},
    {"MSG1107",
     "This folder lies inside the program's work folder, which is emptied later: the recovered data "
     "would be deleted. Choose another folder."},
    {"MSG1108",
     "This folder lies inside the temporary backup folder, which is emptied later: the recovered data "
     "would be deleted. Choose another folder."},
    {"MSG1109", "This folder cannot be written. Choose a folder you can write to."},
    {"MSG1110", "The recovered data is in %s"},
    {"MSG1111", "Nothing of this category is ticked: tick the records to print."},
    {"MSG1112", "The PDF file could not be written."},
};

}  // namespace

QString MessageText(const LanguageStore& texts, const char* key) {
  QString text = texts.text("Messages", key);
  if (!text.isEmpty()) return text;
  for (const auto& [k, english] : kEnglish) {
    if (k == key) return QString::fromUtf8(english);
  }
  return {};
}

}  // namespace fq::app
