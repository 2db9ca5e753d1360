#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <utility>
#include <vector>

// Building JSON text by hand, so that members keep the order the tool documents. Separators
// are ", " and ": " on one line.
namespace json_text {

QString String(const QString& text);
QString Integer(qint64 value);
// Shortest form that reads back as the same double, always with a decimal point ("4.0", "0.6").
QString Decimal(double value);
QString Boolean(bool value);
// A value by its type: null (a null QVariant), a boolean, an integer, a double (as Decimal), or
// else its text as a string.
QString Value(const QVariant& value);
// Members are (name, JSON text of the value).
QString Object(const std::vector<std::pair<QString, QString>>& members);
// Items are JSON texts.
QString Array(const QStringList& items);
QString StringArray(const QStringList& texts);

}  // namespace json_text
