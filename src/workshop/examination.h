// The vehicle examination (车检) of a repair order: one finding per item of the shop's checklist,
// OK, 注意 or 需维修 with a note, photos attached to a finding. A finding marked 需维修 proposes
// a suggested line (建议项目) that stays 建议 until the clerk records who of the customer's side
// agreed and when (同意) or that it was declined (不做); a finding changed away from 需维修 takes
// back its suggestion while nobody has answered it. An agreed suggestion the clerk puts on the
// order becomes a labour line of it, priced as the order's own line entry prices the item.
//
// Photos are files the host keeps; the module records them under names the host made, and
// refuses any other shape of name, so a name read back can never reach outside the folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"
#include "db/value.h"
#include "host/navigator.h"
#include "host/system.h"
#include "workshop/floor.h"

namespace ws::workshop {

// OK, 注意, 需维修
enum class Verdict { Ok, Attention, Repair };
const char* VerdictName(Verdict verdict);
std::optional<Verdict> VerdictByName(std::string_view name);

struct CheckItem {
  int64_t id = 0;
  double order = 0;
  std::string name;
  std::string group;
  bool retired = false;
};

struct Photo {
  int64_t id = 0;
  std::string fileName;
  std::string type;
};

struct Finding {
  int64_t id = 0;  // 0: the item has no finding yet
  CheckItem item;
  std::string verdict;  // "" until recorded
  std::string note;
  std::string examiner;
  std::string time;
  std::vector<Photo> photos;
};

struct Suggestion {
  int64_t id = 0;
  int64_t findingId = 0;
  std::string item;  // the checklist item it came from
  std::string note;
  std::string state;  // 建议, 同意, 不做
  std::string agreedBy;
  std::string agreedAt;
  std::string clerk;
  int64_t lineId = 0;  // the order's labour line it became (0: none)
};

// The labour line an agreed suggestion would become: one of the item, at the price the order's
// line entry proposes for the order's customer (0 when it proposes none), the item's standard
// hours.
struct ProposedLine {
  int64_t itemId = 0;
  std::string code;
  std::string name;
  double hours = 0;
  db::Amount price;
};

// A photo name the host may have made: 32 lower-case hex digits and ".jpg" or ".png".
bool IsPhotoName(std::string_view name);

class Examination {
 public:
  // The database and the id source must outlive the examination.
  Examination(db::IDatabase& db, host::INavigator& ids, Clock now);

  // The items in use (with the retired ones too when asked), in their order.
  std::vector<CheckItem> Items(std::string* error = nullptr, bool withRetired = false);
  // 管理 keeps the checklist; the host asks for the right. Each answers the error, empty when
  // done. Names stay unique among all items, retired ones included: a finding recorded under a
  // retired item still reads by its name.
  std::string AddItem(const std::string& name, const std::string& group, double order);
  std::string ChangeItem(int64_t itemId, const std::string& name, const std::string& group);
  // A retired item is no longer examined; the findings made on it stay with their orders.
  std::string RetireItem(int64_t itemId, bool retired);
  // Numbers the items 1, 2, ... in the order given (every item named once, retired or not).
  std::string ReorderItems(const std::vector<int64_t>& itemIds);

  // Every item in use with the order's finding on it, and the findings of items since retired.
  std::vector<Finding> Findings(int64_t orderId, std::string* error = nullptr);
  std::vector<Suggestion> Suggestions(int64_t orderId, std::string* error = nullptr);

  // Each answers why it was refused or the database's error, empty when done; a failure
  // changes nothing.
  // Records (or changes) the order's finding on an item; *findingId gets its id.
  std::string Record(const Actor& actor, int64_t orderId, int64_t itemId, Verdict verdict,
                     const std::string& note, int64_t* findingId = nullptr);
  std::string AddPhoto(const Actor& actor, int64_t findingId, const std::string& fileName,
                       const std::string& type, int64_t bytes);
  // The type ("image/jpeg") of a photo recorded under this name; nullopt for a name no finding
  // holds (the host serves no other file of its folder).
  std::optional<std::string> PhotoType(const std::string& fileName, std::string* error = nullptr);
  // The customer's answer to a suggestion: agreed (who, as the clerk was told) or declined;
  // refused once the order is checked.
  std::string Answer(const Actor& actor, int64_t suggestionId, bool agreed,
                     const std::string& agreedBy);

  // The line `itemId` would make on the suggestion's order; the system prices it.
  std::optional<ProposedLine> Propose(host::ISystem& system, int64_t suggestionId, int64_t itemId,
                                      std::string* error);
  // The customer agreed (who, as the clerk was told) and the suggestion becomes a labour line of
  // its order: the proposed line with the suggestion's note, the order's labour and receivable
  // totals moved with it, the suggestion linked to the line, the event in the order's history;
  // one transaction. The order's header is written, so its row version moves on and a window
  // that showed the order before is refused its save rather than writing the line away.
  // Refused on a checked order (a settled one is checked). *lineId gets the new line's id.
  std::string AgreeAsLine(const Actor& actor, host::ISystem& system, int64_t suggestionId,
                          const std::string& agreedBy, int64_t itemId, int64_t* lineId = nullptr);

 private:
  db::IDatabase& db_;
  host::INavigator& ids_;
  Clock now_;
};

}  // namespace ws::workshop
