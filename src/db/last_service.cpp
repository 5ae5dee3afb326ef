#include "db/last_service.h"

namespace ws::db {

namespace {

// Which (item, vehicle) rows a written row touches, as a query of `item`, `vehicle` (and for
// the rows it may become the last order of, `visit` and `id`).
struct Touched {
  std::string pairs;   // item, vehicle
  std::string visits;  // item, vehicle, visit, id
};

// A line (row "NEW" or "OLD" of wsdjxm): its item on its order's vehicle. A line without an
// item, or of an order not (or no longer) stored, touches nothing and must never fail the write.
Touched OfLine(const std::string& row) {
  const std::string from = " FROM wsdj V WHERE V.单据ID = " + row + ".单据ID AND " + row +
                           ".项目ID IS NOT NULL AND V.车辆ID IS NOT NULL";
  return {"SELECT " + row + ".项目ID AS item, V.车辆ID AS vehicle" + from,
          "SELECT " + row + ".项目ID, V.车辆ID, V.进厂日期, V.单据ID" + from};
}

// An order (row of wsdj): each item of its lines once on its vehicle.
Touched OfOrder(const std::string& row) {
  const std::string from = " FROM wsdjxm B WHERE B.单据ID = " + row +
                           ".单据ID AND B.项目ID IS NOT NULL AND " + row + ".车辆ID IS NOT NULL";
  return {"SELECT DISTINCT B.项目ID AS item, " + row + ".车辆ID AS vehicle" + from,
          "SELECT DISTINCT B.项目ID, " + row + ".车辆ID, " + row + ".进厂日期, " + row + ".单据ID" +
              from};
}

// The lines an insert statement brought (on the server): each item once on each vehicle, at
// its latest order among them, as one insert may bring several such lines.
std::string AddedLinesVisits() {
  return "SELECT DISTINCT ON (B.项目ID, V.车辆ID) B.项目ID, V.车辆ID, V.进厂日期, V.单据ID FROM " +
         std::string(kInsertedRows) +
         " B JOIN wsdj V ON V.单据ID = B.单据ID WHERE B.项目ID IS NOT NULL AND V.车辆ID IS NOT "
         "NULL ORDER BY B.项目ID, V.车辆ID, COALESCE(V.进厂日期, '0001-01-01') DESC, V.单据ID DESC";
}

// The order becomes the last one of the rows it is later than. A missing day sorts first, as
// the list has always read it.
std::string Add(const Touched& touched) {
  return "INSERT INTO ws_last_service (item_id, vehicle_id, visit_date, order_id) " +
         touched.visits +
         " ON CONFLICT (item_id, vehicle_id) DO UPDATE SET visit_date = excluded.visit_date, "
         "order_id = excluded.order_id WHERE (COALESCE(excluded.visit_date, '0001-01-01'), "
         "excluded.order_id) > (COALESCE(ws_last_service.visit_date, '0001-01-01'), "
         "ws_last_service.order_id);";
}

// The vehicle's last order with a line of the item, among its orders with a day or without one.
// Newest first along the visits index, the walk ends at the first order with such a line.
std::string LastOrder(bool dated) {
  return std::string(
             "(SELECT A2.单据ID FROM wsdj A2 WHERE A2.车辆ID = N.vehicle AND A2.进厂日期 IS ") +
         (dated ? "NOT NULL" : "NULL") +
         " AND EXISTS (SELECT 1 FROM wsdjxm B2 WHERE B2.单据ID = A2.单据ID AND B2.项目ID = "
         "N.item) ORDER BY " +
         (dated ? "A2.进厂日期 DESC, " : "") + "A2.单据ID DESC LIMIT 1)";
}

// The order (row "OLD") leaves the rows that name it; each is found anew, or stays away when
// the vehicle has no other order with the item.
std::string Take(const Touched& touched, const std::string& row) {
  return "DELETE FROM ws_last_service WHERE order_id = " + row +
         ".单据ID AND (item_id, vehicle_id) IN (" + touched.pairs +
         "); INSERT INTO ws_last_service (item_id, vehicle_id, visit_date, order_id) SELECT "
         "N.item, N.vehicle, A.进厂日期, A.单据ID FROM (SELECT K.item, K.vehicle FROM (" +
         touched.pairs +
         ") K WHERE NOT EXISTS (SELECT 1 FROM ws_last_service S WHERE S.item_id = K.item AND "
         "S.vehicle_id = K.vehicle)) N JOIN wsdj A ON A.单据ID = COALESCE(" +
         LastOrder(true) + ", " + LastOrder(false) + ");";
}

// Only a change of the day, the vehicle or the id moves an order in the summary.
const char* const kOrderMovedSqlite =
    "OLD.进厂日期 IS NOT NEW.进厂日期 OR OLD.车辆ID IS NOT NEW.车辆ID OR OLD.单据ID IS NOT "
    "NEW.单据ID";
const char* const kOrderMovedPostgres =
    "OLD.进厂日期 IS DISTINCT FROM NEW.进厂日期 OR OLD.车辆ID IS DISTINCT FROM NEW.车辆ID OR "
    "OLD.单据ID IS DISTINCT FROM NEW.单据ID";

}  // namespace

// On the server two desks deleting a vehicle's two orders at once would each find the other's
// order still there and name it as the last one. Whoever takes an order out of the summary first
// takes the vehicle's turn (held to the end of the transaction); the statements after it see
// every earlier taker's commit. SQLite's writer holds the whole file anyway. The vehicle-span
// summary takes the same turn.
std::string VehicleTurnStatement(const std::string& vehicle) {
  return "PERFORM pg_advisory_xact_lock(hashtextextended('ws_last_service:' || " + vehicle +
         ", 0));";
}

TableDef LastServiceTable(int since) {
  // Keyed by item first: the list reads the rows of its few interval items; the triggers name
  // both columns.
  TableDef table{std::string(kLastServiceTable),
                 TableRole::Module,
                 {{"item_id", ColumnKind::Id},
                  {"vehicle_id", ColumnKind::Id},
                  {"visit_date", ColumnKind::Date},
                  {"order_id", ColumnKind::Id}},
                 {"item_id", "vehicle_id"},
                 {},
                 since};
  table.maintainedBy = &LastServiceTriggers;
  table.filledBy = &LastServiceFill;
  return table;
}

std::vector<std::string> LastServiceTriggers(Engine engine) {
  if (engine == Engine::Postgres) {
    std::vector<std::string> out = {
        "CREATE OR REPLACE FUNCTION ws_last_wsdjxm() RETURNS trigger LANGUAGE plpgsql AS $$ "
        "BEGIN IF TG_OP = 'UPDATE' THEN IF OLD.项目ID IS NOT DISTINCT FROM NEW.项目ID AND "
        "OLD.单据ID IS NOT DISTINCT FROM NEW.单据ID THEN RETURN NULL; END IF; END IF; "
        "IF TG_OP <> 'INSERT' THEN " +
            VehicleTurnStatement("(SELECT V.车辆ID FROM wsdj V WHERE V.单据ID = OLD.单据ID)") +
            Take(OfLine("OLD"), "OLD") + " END IF; IF TG_OP <> 'DELETE' THEN " +
            Add(OfLine("NEW")) + " END IF; RETURN NULL; END $$",
        // The columns are compared in the body, not named in the trigger: a trigger naming a
        // column would stop an upgrade from changing that column's type.
        "CREATE TRIGGER ws_last_wsdjxm_row AFTER DELETE OR UPDATE ON wsdjxm FOR EACH ROW "
        "EXECUTE FUNCTION ws_last_wsdjxm()"};
    for (auto& made : AfterInsertStatementTrigger("ws_last_wsdjxm_add", "wsdjxm",
                                                  Add({{}, AddedLinesVisits()}))) {
      out.push_back(std::move(made));
    }
    out.insert(
        out.end(),
        {"CREATE OR REPLACE FUNCTION ws_last_wsdj() RETURNS trigger LANGUAGE plpgsql AS $$ "
         "BEGIN IF TG_OP <> 'INSERT' THEN " +
             VehicleTurnStatement("OLD.车辆ID") + Take(OfOrder("OLD"), "OLD") +
             " END IF; IF TG_OP <> 'DELETE' THEN " + Add(OfOrder("NEW")) +
             " END IF; RETURN NULL; END $$",
         "CREATE TRIGGER ws_last_wsdj_row AFTER INSERT OR DELETE ON wsdj FOR EACH ROW EXECUTE "
         "FUNCTION ws_last_wsdj()",
         std::string(
             "CREATE TRIGGER ws_last_wsdj_moved AFTER UPDATE OF 进厂日期, 车辆ID, 单据ID ON "
             "wsdj FOR EACH ROW WHEN (") +
             kOrderMovedPostgres + ") EXECUTE FUNCTION ws_last_wsdj()"});
    return out;
  }
  return {
      "CREATE TRIGGER ws_last_wsdjxm_ins AFTER INSERT ON wsdjxm BEGIN " + Add(OfLine("NEW")) +
          " END",
      "CREATE TRIGGER ws_last_wsdjxm_upd AFTER UPDATE OF 项目ID, 单据ID ON wsdjxm WHEN "
      "OLD.项目ID IS NOT NEW.项目ID OR OLD.单据ID IS NOT NEW.单据ID BEGIN " +
          Take(OfLine("OLD"), "OLD") + " " + Add(OfLine("NEW")) + " END",
      "CREATE TRIGGER ws_last_wsdjxm_del AFTER DELETE ON wsdjxm BEGIN " +
          Take(OfLine("OLD"), "OLD") + " END",
      "CREATE TRIGGER ws_last_wsdj_ins AFTER INSERT ON wsdj BEGIN " + Add(OfOrder("NEW")) + " END",
      std::string("CREATE TRIGGER ws_last_wsdj_upd AFTER UPDATE OF 进厂日期, 车辆ID, 单据ID ON "
                  "wsdj WHEN ") +
          kOrderMovedSqlite + " BEGIN " + Take(OfOrder("OLD"), "OLD") + " " + Add(OfOrder("NEW")) +
          " END",
      "CREATE TRIGGER ws_last_wsdj_del AFTER DELETE ON wsdj BEGIN " + Take(OfOrder("OLD"), "OLD") +
          " END"};
}

std::vector<std::string> LastServiceFill() {
  return {"DELETE FROM ws_last_service",
          "INSERT INTO ws_last_service (item_id, vehicle_id, visit_date, order_id) SELECT item, "
          "vehicle, visit, id FROM (SELECT B.项目ID AS item, A.车辆ID AS vehicle, A.进厂日期 AS "
          "visit, A.单据ID AS id, ROW_NUMBER() OVER (PARTITION BY B.项目ID, A.车辆ID ORDER BY "
          "A.进厂日期 DESC NULLS LAST, A.单据ID DESC) AS n FROM wsdj A JOIN wsdjxm B ON B.单据ID "
          "= A.单据ID WHERE B.项目ID IS NOT NULL AND A.车辆ID IS NOT NULL) L WHERE n = 1"};
}

namespace {

// The summary's rows with their vehicle's span of readings, in the columns' order above.
const char* const kSelectWithSpan =
    "SELECT ws_last_service.vehicle_id, item_id, order_id, visit_date, first_visit, last_visit, "
    "least_km, most_km FROM ws_last_service LEFT JOIN ws_vehicle_span ON "
    "ws_vehicle_span.vehicle_id = ws_last_service.vehicle_id WHERE item_id IN (";

}  // namespace

Sql LastServiceSelect(std::span<const int64_t> items, const std::string& since) {
  Sql sql(kSelectWithSpan);
  sql.Keys(items).Raw(")");
  if (!since.empty()) sql.Raw(" AND visit_date >= ").Date(since, "");
  return sql;
}

Sql LastServiceSelectLatest(std::span<const int64_t> items, std::span<const int64_t> others,
                            const std::string& before) {
  Sql sql(kSelectWithSpan);
  sql.Keys(items).Raw(") AND visit_date < ").Date(before, "");
  if (others.empty()) return sql;
  // A row of no day (an order without one) is later than none, as the comparisons leave it.
  sql.Raw(" AND NOT EXISTS (SELECT 1 FROM ws_last_service later WHERE later.item_id IN (")
      .Keys(others)
      .Raw(
          ") AND later.vehicle_id = ws_last_service.vehicle_id AND (later.visit_date >"
          " ws_last_service.visit_date OR (later.visit_date = ws_last_service.visit_date AND"
          " later.order_id >= ws_last_service.order_id)))");
  return sql;
}

}  // namespace ws::db
