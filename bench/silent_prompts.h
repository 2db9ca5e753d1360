#pragma once

#include "ui_core/operator_prompts.h"

// Prompts that answer nothing, for windows measured or photographed without an operator.
class SilentPrompts : public OperatorPrompts {
 public:
  void Inform(const QString&) override {}
  bool AskOkCancel(const QString&) override { return false; }
  QString OpenFileName(const QString&, const QString&) override { return {}; }
  QString SaveFileName(const QString&, const QString&) override { return {}; }
  QString AskText(const QString&, const QString&) override { return {}; }
  int Choose(const QString&, const QStringList&, int) override { return -1; }
};
