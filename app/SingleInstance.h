#pragma once
// Makes sure one user runs one window: the first start holds a lock file and
// listens on a local socket, both in the user's runtime folder; a later start
// asks the first to raise its window. A lock left by a dead process is taken over.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace fq::app {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class Outcome { First, Raised, NoAnswer };

  // `folder` is the user's runtime folder (per user by construction).
  explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
  ~SingleInstance() override;

  // Takes the lock, or asks the running owner to raise its window.
  Outcome claim(int answerTimeoutMs = 2000);
  // The message a second start sends; the owner answers with the same line.
  static bool askToRaise(const QString& serverName, int timeoutMs);
  QString serverName() const { return m_serverName; }

 signals:
  void raiseRequested();

 private:
  QString m_serverName;
  QLockFile m_lock;
  std::unique_ptr<QLocalServer> m_server;
};

}  // namespace fq::app
