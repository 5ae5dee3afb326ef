#include "db/unsettled.h"

namespace ws::db {

namespace {

// The order (row "NEW" of wsdj) joins the table when it is checked and unsettled.
std::string AddOrder(const std::string& conflict) {
  return "INSERT INTO ws_unsettled (order_id, visit_date, number) SELECT NEW.单据ID, "
         "NEW.进厂日期, NEW.工单号码 WHERE NEW.smark = '02' AND NOT EXISTS (SELECT 1 FROM "
         "ARPReceive R WHERE R.前置单据ID = NEW.单据ID) " +
         conflict + ";";
}

// The order a settlement (row "OLD" of ARPReceive) named joins the table again when nothing
// else settles it.
std::string ReleaseOrder(const std::string& conflict) {
  return "INSERT INTO ws_unsettled (order_id, visit_date, number) SELECT W.单据ID, W.进厂日期, "
         "W.工单号码 FROM wsdj W WHERE W.单据ID = OLD.前置单据ID AND W.smark = '02' AND NOT "
         "EXISTS (SELECT 1 FROM ARPReceive R WHERE R.前置单据ID = W.单据ID) " +
         conflict + ";";
}

const char* const kTakeOrder = "DELETE FROM ws_unsettled WHERE order_id = OLD.单据ID;";
const char* const kTakeSettled = "DELETE FROM ws_unsettled WHERE order_id = NEW.前置单据ID;";
const char* const kOnConflict = "ON CONFLICT (order_id) DO NOTHING";

// Only these columns of an order move it in or out of the table, or change its place.
const char* const kOrderChangedSqlite =
    "OLD.smark IS NOT NEW.smark OR OLD.单据ID IS NOT NEW.单据ID OR OLD.进厂日期 IS NOT "
    "NEW.进厂日期 OR OLD.工单号码 IS NOT NEW.工单号码";
const char* const kOrderSameOnServer =
    "OLD.smark IS NOT DISTINCT FROM NEW.smark AND OLD.单据ID IS NOT DISTINCT FROM NEW.单据ID AND "
    "OLD.进厂日期 IS NOT DISTINCT FROM NEW.进厂日期 AND OLD.工单号码 IS NOT DISTINCT FROM "
    "NEW.工单号码";

}  // namespace

TableDef UnsettledTable(int since) {
  TableDef table{std::string(kUnsettledTable),
                 TableRole::Module,
                 {{"order_id", ColumnKind::Id},
                  {"visit_date", ColumnKind::Date},
                  {"number", ColumnKind::Text}},
                 {"order_id"},
                 // The start page's order: oldest first, then by number.
                 {{"ix_ws_unsettled_day", {"visit_date", "number"}, false, "", since}},
                 since};
  table.maintainedBy = &UnsettledTriggers;
  table.filledBy = &UnsettledFill;
  return table;
}

std::vector<std::string> UnsettledTriggers(Engine engine) {
  if (engine == Engine::Postgres) {
    // The columns are compared in the bodies, not named in the triggers: a trigger naming a
    // column would stop an upgrade from changing that column's type.
    return {std::string("CREATE OR REPLACE FUNCTION ws_unsettled_wsdj() RETURNS trigger "
                        "LANGUAGE plpgsql AS $$ BEGIN IF TG_OP = 'UPDATE' THEN IF ") +
                kOrderSameOnServer + " THEN RETURN NULL; END IF; END IF; IF TG_OP <> 'INSERT' " +
                "THEN " + kTakeOrder + " END IF; IF TG_OP <> 'DELETE' THEN " +
                AddOrder(kOnConflict) + " END IF; RETURN NULL; END $$",
            "CREATE TRIGGER ws_unsettled_wsdj_row AFTER INSERT OR DELETE OR UPDATE ON wsdj FOR "
            "EACH ROW EXECUTE FUNCTION ws_unsettled_wsdj()",
            std::string("CREATE OR REPLACE FUNCTION ws_unsettled_settlement() RETURNS trigger "
                        "LANGUAGE plpgsql AS $$ BEGIN IF TG_OP = 'UPDATE' THEN IF "
                        "OLD.前置单据ID IS NOT DISTINCT FROM NEW.前置单据ID THEN RETURN NULL; END "
                        "IF; END IF; IF TG_OP <> 'INSERT' THEN ") +
                ReleaseOrder(kOnConflict) + " END IF; IF TG_OP <> 'DELETE' THEN " + kTakeSettled +
                " END IF; RETURN NULL; END $$",
            "CREATE TRIGGER ws_unsettled_settlement_row AFTER INSERT OR DELETE OR UPDATE ON "
            "ARPReceive FOR EACH ROW EXECUTE FUNCTION ws_unsettled_settlement()"};
  }
  // SQLite takes "ON CONFLICT" after a SELECT only with a WHERE, which each one has.
  return {"CREATE TRIGGER ws_unsettled_wsdj_ins AFTER INSERT ON wsdj WHEN NEW.smark = '02' BEGIN " +
              AddOrder(kOnConflict) + " END",
          std::string("CREATE TRIGGER ws_unsettled_wsdj_upd AFTER UPDATE ON wsdj WHEN ") +
              kOrderChangedSqlite + " BEGIN " + kTakeOrder + " " + AddOrder(kOnConflict) + " END",
          std::string("CREATE TRIGGER ws_unsettled_wsdj_del AFTER DELETE ON wsdj BEGIN ") +
              kTakeOrder + " END",
          std::string("CREATE TRIGGER ws_unsettled_settlement_ins AFTER INSERT ON ARPReceive WHEN "
                      "NEW.前置单据ID IS NOT NULL BEGIN ") +
              kTakeSettled + " END",
          std::string("CREATE TRIGGER ws_unsettled_settlement_upd AFTER UPDATE ON ARPReceive WHEN "
                      "OLD.前置单据ID IS NOT NEW.前置单据ID BEGIN ") +
              kTakeSettled + " " + ReleaseOrder(kOnConflict) + " END",
          "CREATE TRIGGER ws_unsettled_settlement_del AFTER DELETE ON ARPReceive WHEN "
          "OLD.前置单据ID IS NOT NULL BEGIN " +
              ReleaseOrder(kOnConflict) + " END"};
}

std::vector<std::string> UnsettledFill() {
  // An anti-join: a bulk load fills the table before the settlements' source index exists, and
  // both engines then hash or index the settlements once rather than read them once an order.
  return {"DELETE FROM ws_unsettled",
          "INSERT INTO ws_unsettled (order_id, visit_date, number) SELECT W.单据ID, W.进厂日期, "
          "W.工单号码 FROM wsdj W LEFT JOIN ARPReceive R ON R.前置单据ID = W.单据ID WHERE "
          "W.smark = '02' AND R.前置单据ID IS NULL"};
}

}  // namespace ws::db
