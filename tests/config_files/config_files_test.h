#pragma once

// What the configuration-file tests share: a folder of their own and a started model.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "config_files/modINIReadWrite.h"
#include "config_files/program_files.h"
#include "programs/programs_model.h"
#include "tests/support/file_bytes.h"
#include "tests/support/file_rights.h"
#include "tests/support/qt_printers.h"

class ConfigFiles : public ::testing::Test {
 protected:
  void SetUp() override { model_.StartUp(); }
  QString Path(const QString& name) const { return dir_.filePath(name); }

  QTemporaryDir dir_;
  TestProgramsModel model_{QLocale::c()};
};
