#include "masters/register.h"

#include <memory>

#include "masters/descriptions.h"

namespace ws::masters {

void RegisterMasters(host::Registry& registry) {
  for (const MasterListDescription* list : AllLists()) {
    registry.Register(list->className, [list] { return std::make_unique<MasterList>(*list); });
  }
  for (const MasterCardDescription* card : AllCards()) {
    registry.Register(card->className, [card] { return std::make_unique<MasterCard>(*card); });
  }
}

}  // namespace ws::masters
