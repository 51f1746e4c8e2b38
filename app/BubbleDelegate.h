#pragma once
// Paints the rows of a MessagesList: the banner, and each message as a header
// line over a bubble (sent on the right, received on the left, a deleted
// message's text in orange). Row heights follow the bubble height rule and
// are kept per row for the list's current width.
#include <QMargins>
#include <QStringView>
#include <QStyledItemDelegate>
#include <vector>

#include "app/ChatLine.h"

class QAbstractItemView;
class QFontMetrics;

namespace fq::app {

class ChatModel;

class BubbleDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  static constexpr int kBannerHeight = 20;
  static constexpr int kHeaderHeight = 20;
  static constexpr int kRowPadding = 10;  // left and right of every row
  static constexpr int kRowGap = 5;       // below each bubble

  // The measured parts of one message row.
  struct Layout {
    int textWidth = 0;     // the width the text wraps at
    int textHeight = 0;    // the wrapped text's measured height
    int bubbleHeight = 0;  // measured + text padding + 20 + the blank-line allowance
    int rowHeight = 0;     // bubble + header + gap
  };

  // Inside a bubble: sent bubbles keep their tail side (right) wider, received ones their left.
  static QMargins TextPadding(ChatLine::Kind kind);
  // 30 pixels for every "\n\n" and every "\r\n\r\n" in `text`, overlapping ones counted.
  static int BlankLineAllowance(QStringView text);
  // The row of `line` in a list whose viewport is `viewportWidth` wide.
  static Layout Measure(const QFontMetrics& metrics, const ChatLine& line, int viewportWidth);
  // The text as drawn: line breaks of any system become "\n".
  static QString DisplayText(const QString& text);

  BubbleDelegate(const ChatModel& model, QAbstractItemView& view);

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  void forget();
  int viewportWidth() const;

  const ChatModel& m_model;
  QAbstractItemView& m_view;
  // Row heights for m_width; 0 until measured.
  mutable std::vector<int> m_heights;
  mutable int m_width = -1;
};

}  // namespace fq::app
