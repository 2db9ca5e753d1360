#include "backends/option_parser.h"

namespace {

// QCommandLineParser reads every word that begins with "-" as an option; a value such as "-1"
// goes past it with this mark in front, which no argument of a process can hold.
const QChar kValueMark(0);

bool StartsLikeNegativeNumber(const QString& argument) {
  return argument.size() > 1 && argument.startsWith(u'-') && argument[1].isDigit();
}

bool IsOption(const QString& argument) {
  return argument.size() > 1 && argument.startsWith(u'-') && !argument[1].isDigit();
}

QString Unmarked(QString text) { return text.startsWith(kValueMark) ? text.mid(1) : text; }

}  // namespace

OptionParser::OptionParser() {
  parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
}

void OptionParser::Add(const QCommandLineOption& option, const QString& missingValue) {
  parser_.addOption(option);
  known_.push_back({option.names(), !option.valueName().isEmpty(), missingValue});
}

const OptionParser::Known* OptionParser::Find(const QString& name) const {
  for (const Known& known : known_) {
    if (known.names.contains(name)) return &known;
  }
  return nullptr;
}

bool OptionParser::Parse(const QStringList& arguments) {
  // The arguments are checked here first, so that the first fault in their order is named
  // in the words of the option it concerns; the parser then takes what passed.
  QStringList marked{QStringLiteral("program")};
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (!IsOption(argument)) {
      marked << (StartsLikeNegativeNumber(argument) ? kValueMark + argument : argument);
      continue;
    }
    marked << argument;
    const qsizetype equals = argument.indexOf(u'=');
    const QString typed = argument.left(equals);
    QString name = typed.mid(typed.startsWith(QLatin1String("--")) ? 2 : 1);
    const Known* known = Find(name);
    if (!known || (equals >= 0 && !known->takesValue)) {
      error_ = QStringLiteral("Unknown option '%1'").arg(argument);
      return false;
    }
    if (!known->takesValue || equals >= 0) continue;
    if (i + 1 == arguments.size()) {
      error_ = known->missingValue.isEmpty() ? QStringLiteral("Option %1 needs a value").arg(typed)
                                             : known->missingValue;
      return false;
    }
    marked << arguments[++i];  // taken as it is, even when it looks like an option
  }
  if (!parser_.parse(marked)) {
    error_ = parser_.errorText();
    return false;
  }
  parsed_ = true;
  return true;
}

QStringList OptionParser::Values(const QString& name) const {
  return parsed_ ? parser_.values(name) : QStringList();
}

QStringList OptionParser::PositionalArguments() const {
  QStringList words;
  if (!parsed_) return words;
  for (const QString& word : parser_.positionalArguments()) words << Unmarked(word);
  return words;
}
