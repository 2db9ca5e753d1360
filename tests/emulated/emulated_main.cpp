#include <QCoreApplication>

#include <gtest/gtest.h>

#include "tests/emulated/emulated_ft232r.h"

int main(int argc, char** argv) {
  RunUnderUmockdev(argv);
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
