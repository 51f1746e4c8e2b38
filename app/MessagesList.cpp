#include "app/MessagesList.h"

#include "app/BubbleDelegate.h"
#include "app/ChatModel.h"

namespace fq::app {

MessagesList::MessagesList(QWidget* parent)
    : QListView(parent), m_model(new ChatModel(this)), m_delegate(new BubbleDelegate(*m_model, *this)) {
  setModel(m_model);
  setItemDelegate(m_delegate);
  setSelectionMode(QAbstractItemView::NoSelection);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Always there, so the text width (and every row height) does not change
  // when a long conversation needs it.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Heights depend on the width: the rows are laid out again on every resize.
  setResizeMode(QListView::Adjust);
  setUniformItemSizes(false);
  // A long conversation is measured a batch at a time between events: the
  // first rows show at once and the window never stalls on the rest.
  setLayoutMode(QListView::Batched);
  setBatchSize(200);
  setWordWrap(true);
}

void MessagesList::setLines(std::vector<ChatLine> lines) {
  m_model->setLines(std::move(lines));
  scrollToTop();
}

void MessagesList::clear() { m_model->setLines({}); }

}  // namespace fq::app
