#pragma once
// The conversation view of the preview: a list of chat bubbles over its own
// model, scrolled by pixels, never sideways.
#include <QListView>
#include <vector>

#include "app/ChatLine.h"

namespace fq::app {

class BubbleDelegate;
class ChatModel;

class MessagesList : public QListView {
  Q_OBJECT
 public:
  explicit MessagesList(QWidget* parent = nullptr);

  void setLines(std::vector<ChatLine> lines);
  void clear();
  const ChatModel& chat() const { return *m_model; }

 private:
  ChatModel* m_model;
  BubbleDelegate* m_delegate;
};

}  // namespace fq::app
