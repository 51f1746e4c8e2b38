#pragma once
// A button that shows an animated GIF from the skins, stretched to its size,
// while playing; without a GIF it is a plain button.
#include <QAbstractButton>
#include <QMovie>
#include <memory>

namespace fq::app {

class CButtonGifUI : public QAbstractButton {
  Q_OBJECT
 public:
  explicit CButtonGifUI(QWidget* parent = nullptr);
  // Stops the animation and loads `file` (for example ":/skins/gif/loading.gif").
  bool setGifFile(const QString& file);
  void play();
  void stop();
  bool playing() const { return m_movie && m_movie->state() == QMovie::Running; }
  int frameCount() const { return m_movie ? m_movie->frameCount() : 0; }
  QSize sizeHint() const override { return QSize(32, 32); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  std::unique_ptr<QMovie> m_movie;
};

}  // namespace fq::app
