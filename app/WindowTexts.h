#pragma once
// A text of the "Messages" section for the recovery and print windows, with
// the program's English wording when the language file lacks the key (an
// older or partial translation still gives a sentence, never a blank box).
#include <QString>

namespace fq::app {

class LanguageStore;

QString MessageText(const LanguageStore& texts, const char* key);

}  // namespace fq::app
