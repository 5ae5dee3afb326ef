// How a run of statements inside a transaction ended: a document's check, uncheck or delete
// steps, or a posting's part of them. On anything but Ok the transaction has been rolled back
// and nothing is written.
#pragma once

#include <string>

namespace ws::framework {

struct StepOutcome {
  // The tag a failure is told under ("JRGoodsList::" for a posting); empty when the caller
  // supplies its own.
  std::string failureTag;
  // The database's text, or the refusal text; empty on success and on a silent refusal.
  std::string error;
  // A row was not as the step expected: gone, or changed by another user meanwhile.
  bool refused = false;
  bool Ok() const { return error.empty() && !refused; }
};

}  // namespace ws::framework
