#pragma once

#include <memory>
#include <string>

#include "tests/support/faulty_d2xx.h"

// A driver over `tester` that answers everything but the current set-point request, which reaches
// the tester as an unknown request: which requests draw a reply is the tester's own business.
inline std::shared_ptr<FaultyD2xx> SetpointsUnreported(std::shared_ptr<D2xx> tester) {
  auto driver = std::make_shared<FaultyD2xx>(std::move(tester));
  driver->alterWrites = [](std::string& bytes) {
    if (bytes == "(I?)") bytes = "(Z)";
  };
  return driver;
}
