#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <vector>

// A QCommandLineParser that the modules of a program (backend, simulation, the program's own)
// each add their options to, reporting what it does not understand in this system's words:
// "Unknown option '--force=1'", or an option's own text when its value is missing. Options
// with a long name take one dash or two ("-platform", "--json"); a value follows "=" or comes
// as the next argument. A word that starts like a negative number ("-1") is a value, not an
// option; "--" is no end of the options but an unknown option.
class OptionParser {
 public:
  OptionParser();

  // `missingValue`: what a usage error says when the option comes last without its value;
  // by default "Option NAME needs a value".
  void Add(const QCommandLineOption& option, const QString& missingValue = {});

  // `arguments` without the program's name. False, with Error() saying why, on the first
  // argument not understood.
  bool Parse(const QStringList& arguments);
  QString Error() const { return error_; }

  // What the arguments hold; nothing before a successful Parse.
  bool IsSet(const QString& name) const { return parsed_ && parser_.isSet(name); }
  QStringList Values(const QString& name) const;
  QStringList PositionalArguments() const;

 private:
  struct Known {
    QStringList names;
    bool takesValue;
    QString missingValue;
  };
  const Known* Find(const QString& name) const;

  QCommandLineParser parser_;
  std::vector<Known> known_;
  QString error_;
  bool parsed_ = false;
};
