#include "app/MessageFormat.h"

namespace fq::app {

QString FormatMessage(const QString& format, const QStringList& arguments) {
  QString out;
  qsizetype next = 0;
  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar c = format[i];
    if (c != u'%' || i + 1 >= format.size()) {
      out += c;
      continue;
    }
    const QChar spec = format[i + 1];
    if (spec == u'%') {
      out += u'%';
      ++i;
    } else if ((spec == u's' || spec == u'd') && next < arguments.size()) {
      out += arguments[next++];
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace fq::app
