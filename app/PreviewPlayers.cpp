#include "app/PreviewPlayers.h"

#include <QFile>
#include <QProcess>
#include <algorithm>

#include "engine/platform/ProgramFolder.h"

namespace fq::app {
namespace {

constexpr int kStopWaitMs = 2000;

}  // namespace

PreviewPlayers::PreviewPlayers(QObject* parent) : QObject(parent), m_folder(ProgramFolder()) {}

PreviewPlayers::~PreviewPlayers() { stopAll(); }

QStringList PreviewPlayers::Arguments(Media media, const QString& file) {
  if (media == Media::Sound) return {file};
  return {QStringLiteral("-aspect"),
          QStringLiteral("16:9"),
          QStringLiteral("-vo"),
          QStringLiteral("direct3d"),
          QStringLiteral("-lavdopts"),
          QStringLiteral("threads=4"),
          QStringLiteral("-geometry"),
          QStringLiteral("845:260"),
          QStringLiteral("-x"),
          QStringLiteral("326"),
          QStringLiteral("-y"),
          QStringLiteral("189"),
          file};
}

void PreviewPlayers::play(Media media, const QString& file) {
  auto* process = new QProcess(this);
  m_players.push_back({process, false});
  process->setProcessChannelMode(QProcess::MergedChannels);
  process->setStandardInputFile(QProcess::nullDevice());
  // The output is read as it comes (a full pipe would stall the player) and
  // only looked at for the "%" of its progress line.
  connect(process, &QProcess::readyRead, this, [this, process] {
    const QByteArray output = process->readAll();
    auto found = std::find_if(m_players.begin(), m_players.end(),
                              [process](const Player& player) { return player.process == process; });
    if (found != m_players.end() && output.contains('%')) found->playing = true;
  });
  connect(process, &QProcess::finished, this, [this, process] {
    process->readAll();
    const bool played = std::any_of(m_players.begin(), m_players.end(), [process](const Player& player) {
      return player.process == process && player.playing;
    });
    forget(process);
    if (!played) emit playFailed();
  });
  connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
    // A launcher that is missing or cannot run never sends finished.
    if (error != QProcess::FailedToStart) return;
    forget(process);
    emit playFailed();
  });
  const auto launcher = m_folder / (media == Media::Video ? "Player" : "Player1");
  process->start(QFile::decodeName(launcher.c_str()), Arguments(media, file));
}

void PreviewPlayers::forget(QProcess* process) {
  process->disconnect(this);
  std::erase_if(m_players, [process](const Player& player) { return player.process == process; });
  process->deleteLater();
}

void PreviewPlayers::stopAll() {
  // Ours are known by their process objects, never looked up by name.
  std::vector<Player> players;
  players.swap(m_players);
  for (const Player& player : players) {
    QProcess* process = player.process;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
      process->terminate();
      if (!process->waitForFinished(kStopWaitMs)) {
        process->kill();
        process->waitForFinished(kStopWaitMs);
      }
    }
    process->deleteLater();
  }
}

int PreviewPlayers::running() const {
  return static_cast<int>(std::count_if(m_players.begin(), m_players.end(), [](const Player& player) {
    return player.process->state() != QProcess::NotRunning;
  }));
}

int PreviewPlayers::playing() const {
  return static_cast<int>(std::count_if(m_players.begin(), m_players.end(), [](const Player& player) {
    return player.playing && player.process->state() != QProcess::NotRunning;
  }));
}

}  // namespace fq::app
