#include "app/CWndShadow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QWidget>
#include <algorithm>

#ifdef FERNQUILL_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#endif

namespace fq::app {
namespace {

// The size box: the pixels at the window's edge where a press resizes.
constexpr int kSizeBox = 4;

#ifdef FERNQUILL_HAVE_XCB
bool X11CompositorRuns() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return false;
  static constexpr char kSelection[] = "_NET_WM_CM_S0";
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof kSelection - 1, kSelection),
                            nullptr),
      &std::free);
  if (!atom || atom->atom == XCB_ATOM_NONE) return false;
  const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
      xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
      &std::free);
  return owner && owner->owner != XCB_WINDOW_NONE;
}
#endif

}  // namespace

bool CWndShadow::Composited() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("xcb")) {
#ifdef FERNQUILL_HAVE_XCB
    return X11CompositorRuns();
#else
    return false;
#endif
  }
  if (platform.startsWith(QLatin1String("wayland"))) return true;
  // Windows and macOS always composite; the framebuffer and test platforms never do.
  return platform == QLatin1String("windows") || platform == QLatin1String("cocoa");
}

void CWndShadow::attach(QWidget& window) {
  m_composited = Composited() && m_look.size > 0;
  window.setAttribute(Qt::WA_TranslucentBackground, m_composited);
}

bool CWndShadow::shown(const QWidget& window) const {
  return m_composited && !(window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
}

int CWndShadow::margin(const QWidget& window) const {
  if (window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return 0;
  return m_composited ? std::max(m_look.size, kSizeBox) : kSizeBox;
}

void CWndShadow::paint(QPainter& painter, const QWidget& window) const {
  const QRect all = window.rect();
  if (!shown(window)) {
    painter.fillRect(all, window.palette().window());
    QColor border = m_look.colour;
    border.setAlpha(m_look.darkness);
    painter.setPen(border);
    painter.drawRect(all.adjusted(0, 0, -1, -1));
    return;
  }
  // Rings from the outside in, each darker, reaching the darkness at the
  // window's edge; the fall-off is quadratic so the outer rings fade softly.
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(all, Qt::transparent);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  const int size = margin(window);
  const QRect content = all.adjusted(size, size, -size, -size);
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (int ring = 0; ring < size; ++ring) {
    const double strength = static_cast<double>(ring + 1) / size;
    QColor colour = m_look.colour;
    colour.setAlpha(static_cast<int>(m_look.darkness * strength * strength));
    painter.setPen(colour);
    painter.setBrush(Qt::NoBrush);
    const QRect ringRect = all.adjusted(ring, ring, -ring - 1, -ring - 1).translated(m_look.offset);
    painter.drawRect(ringRect);
  }
  painter.fillRect(content, window.palette().window());
}

}  // namespace fq::app
