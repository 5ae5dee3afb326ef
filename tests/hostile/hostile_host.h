// The shop of the hostile-input tests on the engine of the run (the shared test host): a
// customer, a car, an item, a part and a category, and a clerk who takes the first row a
// dropped-down picker lists. Also the texts a user may type, and the comparisons and sweeps
// every hostile suite shares.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "db/sql.h"
#include "db/value.h"
#include "host/ui.h"
#include "support/test_host.h"

namespace ws::hostile {

// Texts a user may type (or paste) into any field: quotes and statement pieces, the wildcards
// and date marks of the dialects, backslashes, control characters, emoji, right-to-left and
// invisible characters, number and date look-alikes, and one long
// text. None holds a NUL (no field can).
const std::vector<std::string>& HostileTexts();

// A code of three digits after a letter: master rows named with text n of the corpus.
std::string Code(char letter, size_t n);

// Byte-for-byte equality that names the first difference instead of printing 10 kB texts.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);

class HostileTest : public test::HostTest {
 protected:
  void SetUp() override;

  platform::SystemObject& System() { return host_.System(); }
  test::RecordingSink& Sink() { return host_.Sink(); }
  test::ScriptedDialogs& Dialogs() { return host_.Dialogs(); }
  void Exec(const std::string& sql) { host_.Exec(sql); }
  std::string Scalar(const db::Sql& sql) { return host_.Scalar(sql).ToText(); }
  // One row, every value bound (integers as numbers, the rest as texts).
  void Insert(const std::string& table, const std::string& columns,
              const std::vector<db::Value>& values);
  // Every text a save or load reported as a failure (ErrMessage and message boxes).
  std::string Failures();
  // The same, forgetting what it read; refusals named here do not count.
  std::string TakeFailures(const std::vector<std::string>& refusals = {});
};

// Runs Find and Filter on every column a control offers with every `step`-th text (text
// columns), every number a text reads as (number columns) and whole calendar dates (date
// columns), as the find dialog passes them. The control's own failures are what the caller
// looks at afterwards.
void SweepFindColumns(host::IFormUI& control, size_t step);

// Find with a like condition, then FindNext until the control shows document `id`: true when
// it is among the matches (a wildcard-free text may still match others holding it).
bool FindsAmongMatches(host::IFormUI& control, const std::string& value, const std::string& column,
                       int64_t id, size_t limit);

}  // namespace ws::hostile
