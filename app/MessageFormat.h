#pragma once
// Fills a message text that a translation supplies: "%s" and "%d" take the
// arguments in order, "%%" is a percent sign, and anything else (a stray or
// hostile specifier, a specifier beyond the arguments) is shown as it stands.
#include <QString>
#include <QStringList>

namespace fq::app {

QString FormatMessage(const QString& format, const QStringList& arguments);

}  // namespace fq::app
