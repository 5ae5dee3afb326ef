#include "db/vehicle_span.h"

#include "db/last_service.h"

namespace ws::db {

namespace {

// The rows of the vehicles the condition picks, from their orders with a reading.
std::string Fill(const std::string& vehicles) {
  return "INSERT INTO ws_vehicle_span (vehicle_id, first_visit, last_visit, least_km, most_km) "
         "SELECT 车辆ID, MIN(进厂日期), MAX(进厂日期), MIN(公里数), MAX(公里数) FROM wsdj WHERE " +
         vehicles + " AND 公里数 > 0 GROUP BY 车辆ID";
}

// The vehicle's row set anew from its orders with a reading: none when it has no such order
// (GROUP BY yields no row), or when `vehicle` is null.
std::string Reset(const std::string& vehicle) {
  return "DELETE FROM ws_vehicle_span WHERE vehicle_id = " + vehicle + "; " +
         Fill("车辆ID = " + vehicle) + ";";
}

}  // namespace

TableDef VehicleSpanTable(int since) {
  TableDef table{std::string(kVehicleSpanTable),
                 TableRole::Module,
                 {{"vehicle_id", ColumnKind::Id},
                  {"first_visit", ColumnKind::Date},
                  {"last_visit", ColumnKind::Date},
                  {"least_km", ColumnKind::Number},
                  {"most_km", ColumnKind::Number}},
                 {"vehicle_id"},
                 {},
                 since};
  table.maintainedBy = &VehicleSpanTriggers;
  table.filledBy = &VehicleSpanFill;
  return table;
}

std::vector<std::string> VehicleSpanTriggers(Engine engine) {
  if (engine == Engine::Postgres) {
    // An order that brings a reading can only widen the span: its values are merged into the
    // row, the row's own lock ordering two saves (LEAST and GREATEST pass over a missing day as
    // MIN and MAX do). One that takes a reading away sets the row anew, after waiting for the
    // vehicle's turn: two such saves would each set it from orders that miss the other's change
    // and the second would fail on the key. A save that merges meanwhile waits on the row the
    // other set, or is waited for and seen. The function is named as the summaries' are, so
    // that the server runs it as the shop's owner.
    return {
        "CREATE OR REPLACE FUNCTION ws_last_span_wsdj() RETURNS trigger LANGUAGE plpgsql AS "
        "$$ BEGIN IF TG_OP = 'UPDATE' THEN IF OLD.进厂日期 IS NOT DISTINCT FROM NEW.进厂日期 "
        "AND OLD.公里数 IS NOT DISTINCT FROM NEW.公里数 AND OLD.车辆ID IS NOT DISTINCT FROM "
        "NEW.车辆ID THEN RETURN NULL; END IF; END IF; IF TG_OP <> 'INSERT' THEN IF "
        "OLD.公里数 > 0 AND OLD.车辆ID IS NOT NULL THEN " +
            VehicleTurnStatement("OLD.车辆ID") + " " + Reset("OLD.车辆ID") +
            " END IF; END IF; IF TG_OP <> 'DELETE' THEN IF NEW.公里数 > 0 AND NEW.车辆ID IS "
            "NOT NULL THEN INSERT INTO ws_vehicle_span (vehicle_id, first_visit, last_visit, "
            "least_km, most_km) VALUES (NEW.车辆ID, NEW.进厂日期, NEW.进厂日期, NEW.公里数, "
            "NEW.公里数) ON CONFLICT (vehicle_id) DO UPDATE SET first_visit = "
            "LEAST(ws_vehicle_span.first_visit, excluded.first_visit), last_visit = "
            "GREATEST(ws_vehicle_span.last_visit, excluded.last_visit), least_km = "
            "LEAST(ws_vehicle_span.least_km, excluded.least_km), most_km = "
            "GREATEST(ws_vehicle_span.most_km, excluded.most_km); END IF; END IF; RETURN "
            "NULL; END $$",
        // The columns are compared in the body, not named in the trigger: a trigger naming
        // a column would stop an upgrade from changing that column's type.
        "CREATE TRIGGER ws_span_wsdj_row AFTER INSERT OR DELETE OR UPDATE ON wsdj FOR EACH "
        "ROW EXECUTE FUNCTION ws_last_span_wsdj()"};
  }
  return {"CREATE TRIGGER ws_span_wsdj_ins AFTER INSERT ON wsdj WHEN NEW.公里数 > 0 BEGIN " +
              Reset("NEW.车辆ID") + " END",
          "CREATE TRIGGER ws_span_wsdj_upd AFTER UPDATE OF 进厂日期, 公里数, 车辆ID ON wsdj WHEN "
          "(OLD.进厂日期 IS NOT NEW.进厂日期 OR OLD.公里数 IS NOT NEW.公里数 OR OLD.车辆ID IS NOT "
          "NEW.车辆ID) AND (OLD.公里数 > 0 OR NEW.公里数 > 0) BEGIN " +
              Reset("OLD.车辆ID") + " " + Reset("NEW.车辆ID") + " END",
          "CREATE TRIGGER ws_span_wsdj_del AFTER DELETE ON wsdj WHEN OLD.公里数 > 0 BEGIN " +
              Reset("OLD.车辆ID") + " END"};
}

std::vector<std::string> VehicleSpanFill() {
  return {"DELETE FROM ws_vehicle_span", Fill("车辆ID IS NOT NULL")};
}

}  // namespace ws::db
