// Checks that a statement raises the library's internal fault with a given message.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "pitchtrack/pitchtrack.h"

namespace testsupport {

// Runs `statement`, expecting a pitchtrack::InternalError whose message is `message` and which
// asks for an error log (or not, with `logged` false).
template <typename Statement>
void expectFault(Statement statement, const std::string& message, bool logged = true) {
  try {
    statement();
    ADD_FAILURE() << "no fault raised; expected \"" << message << "\"";
  } catch (const pitchtrack::InternalError& fault) {
    EXPECT_EQ(fault.what(), message);
    EXPECT_EQ(fault.logged(), logged) << message;
  }
}

}  // namespace testsupport
