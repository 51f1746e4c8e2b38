#pragma once
// One row of a conversation as the preview draws it: the banner above the
// messages, or a sent or received message with its header line.
#include <QString>

namespace fq::app {

struct ChatLine {
  enum class Kind { Banner, Sent, Received };
  Kind kind = Kind::Received;
  bool deleted = false;
  QString header;  // "<date> Me:" or "<date> <name or number>:"
  QString text;    // the message as stored: plain text, never markup
};

}  // namespace fq::app
