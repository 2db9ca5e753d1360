#pragma once

#include <QStringList>

#include <deque>
#include <functional>

#include "ui_core/operator_prompts.h"

// Answers the operator's dialogs from a script and records every question asked.
class ScriptedPrompts : public OperatorPrompts {
 public:
  QStringList shown;              // every message box text, in order
  QStringList filters;            // every file dialog's filter, in order
  QStringList folders;            // every file dialog's start folder, in order
  std::deque<QString> fileNames;  // answers of the file dialogs; empty means cancelled
  std::function<bool()> answerOkCancel = [] { return false; };
  std::deque<QString> texts;  // answers of the text questions; none left means cancelled
  std::deque<int> choices;    // answers of the lists; none left means cancelled
  QStringList questions;      // every text question and list question, in order
  QList<QStringList> lists;   // every list offered, in order

  void Inform(const QString& text) override { shown << text; }
  bool AskOkCancel(const QString& text) override {
    shown << text;
    return answerOkCancel();
  }
  QString OpenFileName(const QString& filter, const QString& folder) override {
    return Next(filter, folder);
  }
  QString SaveFileName(const QString& filter, const QString& folder) override {
    return Next(filter, folder);
  }
  QString AskText(const QString& question, const QString&) override {
    questions << question;
    return Pop(texts, QString());
  }
  int Choose(const QString& question, const QStringList& items, int) override {
    questions << question;
    lists << items;
    return Pop(choices, -1);
  }

 private:
  QString Next(const QString& filter, const QString& folder) {
    filters << filter;
    folders << folder;
    return Pop(fileNames, QString());
  }
  template <typename T>
  static T Pop(std::deque<T>& answers, T none) {
    if (answers.empty()) return none;
    T answer = answers.front();
    answers.pop_front();
    return answer;
  }
};
