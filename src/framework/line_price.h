// The unit price the repair order proposes when a labour item or a part is put on a line.
//
// The fetch mode (option "fetchmode" of module 12, or of module 3 when that is 0) chooses:
// - 0: the customer's own latest price for the item on a checked order of this program, else
//   anyone's latest checked price, else the document type's price rule;
// - 1 or 2: the price rule straight away;
// - anything else: no proposal.
// The price rule (xt_objects.fetchPrice of the program) is 0 none (price 0), 1/2/3/4 lowest,
// highest, average or latest checked price, 5/6 reference retail price, 7 stock average cost
// of the current period (parts only), 8 reference purchase price; any other rule proposes
// nothing. Only checked orders (smark '02') ever contribute a price.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framework/line_kind.h"
#include "host/system.h"

namespace ws::framework {

// " SELECT TOP 1 单价 from wsdj A left join wsdjxm B ..." : the latest checked price of the item,
// for one customer when ownerId is given.
std::string HistoryPriceSelect(LineKind kind, int64_t key, int64_t programNumber,
                               std::optional<int64_t> ownerId);
// The statement of a price rule (1 to 8); empty for a rule that runs no query (0, 7 in the
// item grid, unknown rules).
std::string RulePriceSelect(int rule, LineKind kind, int64_t key, int64_t programNumber,
                            int64_t period);

class LinePricer {
 public:
  LinePricer(host::ISystem& system, int64_t programNumber)
      : system_(system), programNumber_(programNumber) {}

  // The proposed unit price of a line with the item or part `key` on an order of the owner;
  // nullopt when nothing is proposed and the line keeps its price. A failing query proposes
  // nothing: a missing price must never stop the clerk typing the order.
  std::optional<db::Amount> Propose(LineKind kind, int64_t key, int64_t ownerId);

 private:
  std::optional<db::Amount> ByRule(LineKind kind, int64_t key);

  host::ISystem& system_;
  int64_t programNumber_;
};

}  // namespace ws::framework
