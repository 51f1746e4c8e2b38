#pragma once
// The main window's drop shadow: a translucent margin painted around the
// frameless window where the window system blends translucent windows, else
// a 1-px border (without a compositor a translucent margin comes out black).
#include <QColor>
#include <QPoint>

class QPainter;
class QWidget;

namespace fq::app {

class CWndShadow {
 public:
  struct Look {
    int size = 4;
    QPoint offset{0, 0};
    int darkness = 120;  // alpha at the window's edge, 0..255
    QColor colour{45, 45, 45};
  };

  explicit CWndShadow(Look look) : m_look(look) {}

  // Whether the window system composites: on X11 a compositing manager owns
  // the selection _NET_WM_CM_S0; Wayland always does; offscreen never.
  static bool Composited();

  // Decides once, before `window` is first shown, between shadow and border.
  void attach(QWidget& window);
  // The shadow shows while composited and the window is neither maximised
  // nor full screen.
  bool shown(const QWidget& window) const;
  // The margin the window keeps around its content: the shadow, or the size box.
  int margin(const QWidget& window) const;
  // Paints the shadow or the border and the window's background.
  void paint(QPainter& painter, const QWidget& window) const;

 private:
  Look m_look;
  bool m_composited = false;
};

}  // namespace fq::app
