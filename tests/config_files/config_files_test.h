#pragma once

// What the configuration-file tests share: a folder of their own, a started model, and a test
// file's bytes read or written whole.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "config_files/modINIReadWrite.h"
#include "config_files/program_files.h"
#include "programs/programs_model.h"
#include "tests/support/file_rights.h"
#include "tests/support/qt_printers.h"

inline QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

class ConfigFiles : public ::testing::Test {
 protected:
  void SetUp() override { model_.StartUp(); }
  QString Path(const QString& name) const { return dir_.filePath(name); }

  QTemporaryDir dir_;
  TestProgramsModel model_{QLocale::c()};
};
