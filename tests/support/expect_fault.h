// Checks that a statement raises the library's internal fault with a given message.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "pitchtrack/errors.h"

namespace testsupport {

// Runs `statement`, expecting a pitchtrack::InternalError whose message is `message`.
template <typename Statement>
void expectFault(Statement statement, const std::string& message) {
  try {
    statement();
    ADD_FAILURE() << "no fault raised; expected \"" << message << "\"";
  } catch (const pitchtrack::InternalError& fault) {
    EXPECT_EQ(fault.what(), message);
  }
}

}  // namespace testsupport
