// The shop of the hostile-input tests on the engine of the run (the shared test host): a
// customer, a car, an item, a part and a category, and a clerk who takes the first row a
// dropped-down picker lists. Also the texts a user may type, and the byte comparison both
// hostile suites share.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/sql.h"
#include "host/ui.h"
#include "support/test_host.h"

namespace ws::hostile {

// Texts a user may type (or paste) into any field: quotes and statement pieces, the wildcards
// and date marks of the dialects, backslashes, control characters, emoji, right-to-left and
// invisible characters, number and date look-alikes, and one long
// text. None holds a NUL (no field can).
const std::vector<std::string>& HostileTexts();

// Byte-for-byte equality that names the first difference instead of printing 10 kB texts.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);

class HostileTest : public test::HostTest {
 protected:
  void SetUp() override;

  platform::SystemObject& System() { return host_.System(); }
  test::RecordingSink& Sink() { return host_.Sink(); }
  test::ScriptedDialogs& Dialogs() { return host_.Dialogs(); }
  // Every text a save or load reported as a failure (ErrMessage and message boxes).
  std::string Failures();
  // The same, forgetting what it read; refusals named here do not count.
  std::string TakeFailures(const std::vector<std::string>& refusals = {});
};

}  // namespace ws::hostile
