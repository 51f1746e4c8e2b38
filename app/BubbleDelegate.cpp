#include "app/BubbleDelegate.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QPainter>

#include "app/ChatModel.h"

namespace fq::app {
namespace {

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
// Every measured height of the rule is taken in a rectangle this high.
constexpr int kMeasureHeight = 9999;
// Room the rule keeps free beside the bubble's text.
constexpr int kSpareWidth = 10;
constexpr int kBubbleExtra = 20;
constexpr int kBlankLineAllowance = 30;
constexpr qreal kBubbleRadius = 10;

const QColor kDeletedText(0xF3, 0x73, 0x02);
const QColor kBannerText(0xD7, 0xD7, 0xD7);
const QColor kHeaderText(0x8A, 0x8A, 0x8A);
const QColor kSentFill(0x2F, 0x7D, 0x5B);
const QColor kSentText(0xFF, 0xFF, 0xFF);
const QColor kReceivedFill(0xEC, 0xEE, 0xED);
const QColor kReceivedText(0x4D, 0x4D, 0x4D);
// Orange reads on neither bubble colour: a deleted message gets a pale one.
const QColor kDeletedFill(0xFD, 0xF1, 0xE7);

int CountFrom(QStringView text, QStringView needle) {
  int count = 0;
  for (qsizetype at = text.indexOf(needle); at >= 0; at = text.indexOf(needle, at + 1)) ++count;
  return count;
}

}  // namespace

QMargins BubbleDelegate::TextPadding(ChatLine::Kind kind) {
  return kind == ChatLine::Kind::Sent ? QMargins(10, 10, 20, 10) : QMargins(20, 10, 10, 10);
}

int BubbleDelegate::BlankLineAllowance(QStringView text) {
  return kBlankLineAllowance * (CountFrom(text, u"\n\n") + CountFrom(text, u"\r\n\r\n"));
}

QString BubbleDelegate::DisplayText(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

BubbleDelegate::Layout BubbleDelegate::Measure(const QFontMetrics& metrics, const ChatLine& line,
                                               int viewportWidth) {
  Layout layout;
  if (line.kind == ChatLine::Kind::Banner) {
    layout.rowHeight = kBannerHeight;
    return layout;
  }
  const QMargins padding = TextPadding(line.kind);
  layout.textWidth =
      std::max(1, viewportWidth - 2 * kRowPadding - padding.left() - padding.right() - kSpareWidth);
  layout.textHeight =
      metrics.boundingRect(QRect(0, 0, layout.textWidth, kMeasureHeight), kTextFlags, DisplayText(line.text))
          .height();
  layout.bubbleHeight =
      layout.textHeight + padding.top() + padding.bottom() + kBubbleExtra + BlankLineAllowance(line.text);
  layout.rowHeight = layout.bubbleHeight + kHeaderHeight + kRowGap;
  return layout;
}

BubbleDelegate::BubbleDelegate(const ChatModel& model, QAbstractItemView& view)
    : QStyledItemDelegate(&view), m_model(model), m_view(view) {
  connect(&model, &QAbstractItemModel::modelReset, this, &BubbleDelegate::forget);
}

void BubbleDelegate::forget() {
  m_heights.clear();
  m_width = -1;
}

int BubbleDelegate::viewportWidth() const { return m_view.viewport()->width(); }

QSize BubbleDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
  const int width = viewportWidth();
  const auto rows = static_cast<size_t>(m_model.rowCount());
  if (width != m_width || m_heights.size() != rows) {
    m_width = width;
    m_heights.assign(rows, 0);
  }
  const auto row = static_cast<size_t>(index.row());
  if (row >= rows) return {};
  int& height = m_heights[row];
  if (height == 0) height = Measure(m_view.fontMetrics(), m_model.line(index.row()), width).rowHeight;
  return {width, height};
}

void BubbleDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  if (index.row() >= m_model.rowCount()) return;
  const ChatLine& line = m_model.line(index.row());
  const QRect row = option.rect;
  painter->save();
  painter->setFont(m_view.font());
  if (line.kind == ChatLine::Kind::Banner) {
    painter->setPen(kBannerText);
    painter->drawText(row, Qt::AlignCenter, line.text);
    painter->restore();
    return;
  }
  const bool sent = line.kind == ChatLine::Kind::Sent;
  const QFontMetrics metrics = m_view.fontMetrics();
  const Layout layout = Measure(metrics, line, row.width());

  const QRect header(row.left() + kRowPadding, row.top(), row.width() - 2 * kRowPadding, kHeaderHeight);
  painter->setPen(kHeaderText);
  painter->drawText(header, (sent ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                    metrics.elidedText(line.header, Qt::ElideRight, header.width()));

  // The bubble is as wide as its text needs, its height is the rule's.
  const QString text = DisplayText(line.text);
  const QMargins padding = TextPadding(line.kind);
  const int natural =
      metrics.boundingRect(QRect(0, 0, layout.textWidth, kMeasureHeight), kTextFlags, text).width();
  QRect bubble(0, header.bottom() + 1, natural + padding.left() + padding.right(), layout.bubbleHeight);
  if (sent)
    bubble.moveRight(row.right() - kRowPadding);
  else
    bubble.moveLeft(row.left() + kRowPadding);
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(line.deleted ? QPen(kDeletedText) : QPen(Qt::NoPen));
  painter->setBrush(line.deleted ? kDeletedFill : (sent ? kSentFill : kReceivedFill));
  painter->drawRoundedRect(QRectF(bubble).adjusted(0.5, 0.5, -0.5, -0.5), kBubbleRadius, kBubbleRadius);
  painter->setPen(line.deleted ? kDeletedText : (sent ? kSentText : kReceivedText));
  painter->drawText(bubble.marginsRemoved(padding), kTextFlags, text);
  painter->restore();
}

}  // namespace fq::app
