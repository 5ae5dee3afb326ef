#include "shop/floor/floor_actor.h"

#include "shop/store/database_file.h"

namespace ws::shop {

workshop::Actor FloorActor(const std::string& user, const std::set<platform::Right>& rights,
                           int64_t employeeId, const std::string& frontEnd) {
  auto has = [&](platform::Right r) { return rights.count(r) > 0; };
  workshop::Actor actor;
  actor.user = user;
  actor.employeeId = employeeId;
  actor.dispatch = has(platform::Right::Enter);
  actor.clock = has(platform::Right::Floor);
  actor.examine = has(platform::Right::Floor) || has(platform::Right::Enter);
  actor.check = has(platform::Right::Check);
  actor.frontEnd = frontEnd;
  return actor;
}

std::string PhotoFolder(const std::string& shop, const std::string& given) {
  if (!given.empty()) return given;
  if (EngineOf(shop) == db::Engine::Postgres) return {};
  return shop + ".photos";
}

}  // namespace ws::shop
