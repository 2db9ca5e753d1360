#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <gtest/gtest.h>
#include <memory>

#include "ctlVELD32UsbComm.h"
#include "frmTestOptions.h"
#include "modMain.h"
#include "scripted_d2xx.h"
#include "scripted_prompts.h"

// The editor window over a scripted driver, with an empty log and frame logging off.
class EditorWindowTest : public ::testing::Test {
 protected:
  EditorWindowTest() {
    modMain::StatusLogText.clear();
    modMain::ShowVerbose = false;
    modMain::ShowRXBuffer = false;
    form = std::make_unique<frmTestOptions>(driver, prompts);
  }
  ~EditorWindowTest() override {
    form.reset();
    modMain::ShowVerbose = false;
  }

  template <typename Widget>
  Widget* Control(const QString& name) {
    auto* widget = form->findChild<Widget*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
  }
  QLineEdit* Box(const char* name, int i) { return Control<QLineEdit>(name + QString::number(i)); }
  QScrollBar* Slider(const char* name, int i) {
    return Control<QScrollBar>(name + QString::number(i));
  }

  static QStringList LogLines() {
    return modMain::StatusLogText.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  }

  ctlVELD32UsbComm& Link() { return form->ctlVELD32UsbComm1(); }

  std::shared_ptr<ScriptedD2xx> driver = std::make_shared<ScriptedD2xx>();
  ScriptedPrompts prompts;
  std::unique_ptr<frmTestOptions> form;
};
