#include "tools/json_text.h"

#include <QLocale>

namespace json_text {

QString String(const QString& text) {
  QString quoted = QStringLiteral("\"");
  for (const QChar c : text) {
    switch (c.unicode()) {
      case '"':
        quoted += QLatin1String("\\\"");
        break;
      case '\\':
        quoted += QLatin1String("\\\\");
        break;
      case '\n':
        quoted += QLatin1String("\\n");
        break;
      case '\r':
        quoted += QLatin1String("\\r");
        break;
      case '\t':
        quoted += QLatin1String("\\t");
        break;
      default:
        if (c.unicode() < 0x20) {
          quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
          quoted += c;
        }
    }
  }
  return quoted + u'"';
}

QString Integer(qint64 value) { return QString::number(value); }

QString Decimal(double value) {
  QString text = QLocale::c().toString(value, 'g', QLocale::FloatingPointShortest);
  if (!text.contains(u'.') && !text.contains(u'e')) text += QLatin1String(".0");
  return text;
}

QString Boolean(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

QString Object(const std::vector<std::pair<QString, QString>>& members) {
  QStringList parts;
  for (const auto& [name, value] : members) parts << String(name) + QLatin1String(": ") + value;
  return u'{' + parts.join(QLatin1String(", ")) + u'}';
}

QString Array(const QStringList& items) { return u'[' + items.join(QLatin1String(", ")) + u']'; }

QString StringArray(const QStringList& texts) {
  QStringList items;
  for (const QString& text : texts) items << String(text);
  return Array(items);
}

QString Value(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::UnknownType:
      return QStringLiteral("null");
    case QMetaType::Bool:
      return Boolean(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
      return Integer(value.toLongLong());
    case QMetaType::Double:
      return Decimal(value.toDouble());
    default:
      return String(value.toString());
  }
}

}  // namespace json_text
