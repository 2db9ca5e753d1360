#pragma once

#include <QString>

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
};

// The real dialogs.
class QtOperatorPrompts : public OperatorPrompts {
 public:
  void Inform(const QString& text) override;
  bool AskOkCancel(const QString& text) override;
  QString OpenFileName(const QString& filter, const QString& startFolder) override;
  QString SaveFileName(const QString& filter, const QString& startFolder) override;
};
