#pragma once
// The sound and video players of the preview: the launchers "Player1" (sound)
// and "Player" (video) beside the program, started with argument lists. A
// player counts as playing once its output shows a "%" (its progress); one
// that ends without it reports playFailed. Only the players started here are
// ever stopped: processes of the same name that are not ours are left alone.
#include <QObject>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <vector>

class QProcess;

namespace fq::app {

class PreviewPlayers : public QObject {
  Q_OBJECT
 public:
  enum class Media { Sound, Video };

  explicit PreviewPlayers(QObject* parent = nullptr);
  ~PreviewPlayers() override;

  // The folder holding Player and Player1 (the program's own by default).
  void setFolder(std::filesystem::path folder) { m_folder = std::move(folder); }
  const std::filesystem::path& folder() const { return m_folder; }

  // The launcher's arguments for `file`: the video player's fixed window
  // options, then the file as one argument of its own.
  static QStringList Arguments(Media media, const QString& file);

  void play(Media media, const QString& file);
  // Stops every player started here (and only those); none reports a failure.
  void stopAll();

  // Players started here that are still running, and those of them that showed progress.
  int running() const;
  int playing() const;

 signals:
  void playFailed();

 private:
  struct Player {
    QProcess* process;
    bool playing;
  };
  void forget(QProcess* process);

  std::filesystem::path m_folder;
  std::vector<Player> m_players;
};

}  // namespace fq::app
