#include "app/UserConfig.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace fq::app {

std::string UserConfigPath() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return QFile::encodeName(QDir(folder).filePath(QStringLiteral("fernquill/config.ini"))).toStdString();
}

}  // namespace fq::app
