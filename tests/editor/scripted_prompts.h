#pragma once

#include <QStringList>

#include <deque>

#include "operator_prompts.h"

// Answers the operator's message boxes from a script and records every question asked.
class ScriptedPrompts : public OperatorPrompts {
 public:
  // Every message box shown, in order (OK-only and OK/Cancel alike).
  QStringList shown;
  // Answers of the OK/Cancel boxes, in order; true is OK. An unscripted box is cancelled.
  std::deque<bool> okCancelAnswers;

  void Inform(const QString& text) override { shown << text; }
  bool AskOkCancel(const QString& text) override {
    shown << text;
    if (okCancelAnswers.empty()) return false;
    const bool ok = okCancelAnswers.front();
    okCancelAnswers.pop_front();
    return ok;
  }
  QString OpenFileName(const QString&, const QString&) override { return {}; }
  QString SaveFileName(const QString&, const QString&) override { return {}; }
};
