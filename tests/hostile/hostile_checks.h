// What the hostile-input tests compare and sweep: byte-for-byte equality that names the first
// difference, and Find/Filter over every column a control offers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "forms/typed_number.h"
#include "host/conditions.h"
#include "host/ui.h"

namespace ws::hostile {

// Byte-for-byte equality that names the first difference instead of printing 10 kB texts.
inline ::testing::AssertionResult SameBytes(const std::string& actual,
                                            const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  auto around = [at](const std::string& text) {
    return ::testing::PrintToString(text.substr(at > 8 ? at - 8 : 0, 24));
  };
  return ::testing::AssertionFailure()
         << "sizes " << actual.size() << " and " << expected.size() << ", first difference at byte "
         << at << ": " << around(actual) << " vs " << around(expected);
}

// Find with a like condition, then FindNext until the control shows document `id`: true when
// it is among the matches (a wildcard-free text may still match others holding it).
template <typename Control>
bool FindsAmongMatches(Control& control, const std::string& value, const std::string& column,
                       int64_t id, size_t limit) {
  control.Filter(std::vector<host::Condition>{});
  control.Find(std::vector<host::Condition>{{value, column + " like"}});
  for (size_t step = 0; step <= limit && control.GetID() != 0; ++step) {
    if (control.GetID() == id) return true;
    control.FindNext();
  }
  return false;
}

// Runs Find and Filter on every column the control offers with every text (text columns), every
// number the text reads as (number columns) and whole calendar dates (date columns), as the
// find dialog passes them; `step` > 1 takes every step-th text only. The control's own
// failures are what the caller looks at afterwards.
template <typename Control>
void SweepFindColumns(Control& control, const std::vector<std::string>& texts, size_t step = 1) {
  const std::vector<std::string> dateTexts = {"2012-06-15", "0001-01-01", "9999-12-31",
                                              "2012-02-29"};
  for (const auto& column : control.FindColumns()) {
    const bool date = column.kind == host::FindKind::Date;
    const std::vector<std::string>& values = date ? dateTexts : texts;
    for (size_t i = 0; i < values.size(); i += date ? 1 : step) {
      std::string value = values[i];
      if (column.kind == host::FindKind::Number) {
        auto number = forms::ParseTypedNumber(value);
        if (!number) continue;
        value = number->text;
      }
      if (date) {
        control.Find(std::vector<host::Condition>{{value, column.column + ">="}});
        control.Filter(std::vector<host::Condition>{{value, column.column + "<="}});
        continue;
      }
      const std::string op = column.kind == host::FindKind::Text ? " like" : "=";
      control.Find(std::vector<host::Condition>{{value, column.column + op}});
      control.FindNext();
      control.Filter(std::vector<host::Condition>{{value, column.column + "="}});
    }
  }
  control.Filter(std::vector<host::Condition>{});
}

}  // namespace ws::hostile
