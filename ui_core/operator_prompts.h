#pragma once

#include <QString>
#include <QStringList>

// The one way the windows ask the operator something: message boxes and file dialogs. The
// windows take a reference to it, so tests answer without a modal loop.
class OperatorPrompts {
 public:
  virtual ~OperatorPrompts() = default;
  // A message box with the application's title ("VELD32"), no icon, an OK button only.
  virtual void Inform(const QString& text) = 0;
  // The same with OK and Cancel; true when the operator pressed OK.
  virtual bool AskOkCancel(const QString& text) = 0;
  // An Open dialog that accepts only an existing file; `filter` like
  // "VELD32 All Programs (*.vap)". The chosen path, or empty when cancelled.
  virtual QString OpenFileName(const QString& filter, const QString& startFolder) = 0;
  // A Save As dialog that starts with an empty name, adds the filter's extension to a name
  // typed without one and asks before overwriting; the chosen path, or empty when cancelled.
  virtual QString SaveFileName(const QString& filter, const QString& startFolder) = 0;
  // A line of text, starting as `current`; empty when cancelled.
  virtual QString AskText(const QString& question, const QString& current) = 0;
  // One of `items`, starting at `current`; its index, or -1 when cancelled.
  virtual int Choose(const QString& question, const QStringList& items, int current) = 0;
};

// The real dialogs.
class QtOperatorPrompts : public OperatorPrompts {
 public:
  void Inform(const QString& text) override;
  bool AskOkCancel(const QString& text) override;
  QString OpenFileName(const QString& filter, const QString& startFolder) override;
  QString SaveFileName(const QString& filter, const QString& startFolder) override;
  QString AskText(const QString& question, const QString& current) override;
  int Choose(const QString& question, const QStringList& items, int current) override;
};
