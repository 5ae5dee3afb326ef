#include "db/price_summary.h"

#include <array>

namespace ws::db {

namespace {

struct LineSource {
  const char* table;
  const char* key;
  int kind;
};

constexpr std::array<LineSource, 2> kSources = {
    {{"wsdjxm", "项目ID", kPriceSummaryItems}, {"wsdjpj", "产品ID", kPriceSummaryParts}}};

const char* const kUpsert =
    " ON CONFLICT (progid, kind, item_id, price) DO UPDATE SET n = ws_price_sum.n + excluded.n;";

// One line counted in (row "NEW") when its order is checked. A line without an item or a price,
// or an order without a program, has no place in the summary and must never fail the write.
std::string AddLine(const LineSource& s, const std::string& row) {
  return "INSERT INTO ws_price_sum (progid, kind, item_id, price, n) SELECT A.progID, " +
         std::to_string(s.kind) + ", " + row + "." + s.key + ", " + row + ".单价, 1 FROM wsdj A " +
         "WHERE A.单据ID = " + row + ".单据ID AND A.smark = '02' AND A.progID IS NOT NULL AND " +
         row + "." + s.key + " IS NOT NULL AND " + row + ".单价 IS NOT NULL" + kUpsert;
}

std::string TakeLine(const LineSource& s, const std::string& row) {
  return "UPDATE ws_price_sum SET n = n - 1 WHERE kind = " + std::to_string(s.kind) +
         " AND item_id = " + row + "." + s.key + " AND price = " + row +
         ".单价 AND progid IN (SELECT A.progID FROM wsdj A WHERE A.单据ID = " + row +
         ".单据ID AND A.smark = '02');";
}

// The lines of `lines` (a table, or the rows a statement inserted) on checked orders, counted in
// by item and price.
std::string AddCheckedLines(const LineSource& s, const std::string& lines) {
  return "INSERT INTO ws_price_sum (progid, kind, item_id, price, n) SELECT A.progID, " +
         std::to_string(s.kind) + ", B." + s.key + ", B.单价, COUNT(*) FROM wsdj A JOIN " + lines +
         " B ON B.单据ID = A.单据ID WHERE A.smark = '02' AND A.progID IS NOT NULL AND B." + s.key +
         " IS NOT NULL AND B.单价 IS NOT NULL GROUP BY A.progID, B." + s.key + ", B.单价";
}

// Every line of the order (row "NEW") counted in, when the order is checked.
std::string AddOrder(const LineSource& s, const std::string& row) {
  return "INSERT INTO ws_price_sum (progid, kind, item_id, price, n) SELECT " + row + ".progID, " +
         std::to_string(s.kind) + ", B." + s.key + ", B.单价, COUNT(*) FROM " + s.table +
         " B WHERE " + row + ".smark = '02' AND " + row +
         ".progID IS NOT NULL AND B.单据ID = " + row + ".单据ID AND B." + s.key +
         " IS NOT NULL AND B.单价 IS NOT NULL GROUP BY B." + s.key + ", B.单价" + kUpsert;
}

std::string TakeOrder(const LineSource& s, const std::string& row) {
  const std::string lines =
      std::string(" FROM ") + s.table + " B WHERE B.单据ID = " + row + ".单据ID";
  return "UPDATE ws_price_sum SET n = n - (SELECT COUNT(*)" + lines + " AND B." + s.key +
         " = ws_price_sum.item_id AND B.单价 = ws_price_sum.price) WHERE " + row +
         ".smark = '02' AND progid = " + row + ".progID AND kind = " + std::to_string(s.kind) +
         " AND (item_id, price) IN (SELECT B." + s.key + ", B.单价" + lines + ");";
}

std::string TakeOrderAll(const std::string& row) {
  std::string out;
  for (const auto& s : kSources) out += TakeOrder(s, row) + " ";
  return out;
}

std::string AddOrderAll(const std::string& row) {
  std::string out;
  for (const auto& s : kSources) out += AddOrder(s, row) + " ";
  return out;
}

// Only a change of the check mark or of the program moves an order's lines in the summary.
const char* const kOrderMoved =
    "COALESCE(OLD.smark, '') <> COALESCE(NEW.smark, '') OR "
    "COALESCE(OLD.progID, 0) <> COALESCE(NEW.progID, 0)";

}  // namespace

TableDef PriceSummaryTable(int since) {
  TableDef table{std::string(kPriceSummaryTable),
                 TableRole::Module,
                 {{"progid", ColumnKind::Id},
                  {"kind", ColumnKind::Id},
                  {"item_id", ColumnKind::Id},
                  {"price", ColumnKind::Money},
                  {"n", ColumnKind::Id}},
                 {"progid", "kind", "item_id", "price"},
                 {},
                 since};
  table.maintainedBy = &PriceSummaryTriggers;
  table.filledBy = &PriceSummaryFill;
  return table;
}

std::vector<std::string> PriceSummaryTriggers(Engine engine) {
  std::vector<std::string> out;
  if (engine == Engine::Postgres) {
    for (const auto& s : kSources) {
      const std::string name = std::string("ws_price_") + s.table;
      // The columns are compared in the body, not named in the trigger: a trigger naming a
      // column would stop an upgrade from changing that column's type.
      const std::string same = std::string("OLD.") + s.key + " IS NOT DISTINCT FROM NEW." + s.key +
                               " AND OLD.单价 IS NOT DISTINCT FROM NEW.单价 AND OLD.单据ID IS NOT "
                               "DISTINCT FROM NEW.单据ID";
      out.push_back("CREATE OR REPLACE FUNCTION " + name +
                    "() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF TG_OP = 'UPDATE' THEN IF " +
                    same + " THEN RETURN NULL; END IF; END IF; IF TG_OP <> 'INSERT' THEN " +
                    TakeLine(s, "OLD") + " END IF; IF TG_OP <> 'DELETE' THEN " + AddLine(s, "NEW") +
                    " END IF; RETURN NULL; END $$");
      out.push_back("CREATE TRIGGER " + name + "_chg AFTER DELETE OR UPDATE ON " + s.table +
                    " FOR EACH ROW EXECUTE FUNCTION " + name + "()");
      for (auto& made : AfterInsertStatementTrigger(
               name + "_add", s.table, AddCheckedLines(s, std::string(kInsertedRows)) + kUpsert)) {
        out.push_back(std::move(made));
      }
    }
    out.push_back(
        "CREATE OR REPLACE FUNCTION ws_price_wsdj() RETURNS trigger LANGUAGE plpgsql AS $$ "
        "BEGIN IF TG_OP <> 'INSERT' THEN " +
        TakeOrderAll("OLD") + "END IF; IF TG_OP <> 'DELETE' THEN " + AddOrderAll("NEW") +
        "END IF; RETURN NULL; END $$");
    // The body moves only a checked order's lines: the condition in the trigger spares the
    // call for every order a clerk saves, which is new and so unchecked.
    out.push_back(
        "CREATE TRIGGER ws_price_wsdj_ins AFTER INSERT ON wsdj FOR EACH ROW WHEN (NEW.smark = "
        "'02') EXECUTE FUNCTION ws_price_wsdj()");
    out.push_back(
        "CREATE TRIGGER ws_price_wsdj_del AFTER DELETE ON wsdj FOR EACH ROW WHEN (OLD.smark = "
        "'02') EXECUTE FUNCTION ws_price_wsdj()");
    out.push_back(std::string("CREATE TRIGGER ws_price_wsdj_upd AFTER UPDATE OF smark, progid ON "
                              "wsdj FOR EACH ROW WHEN (") +
                  kOrderMoved + ") EXECUTE FUNCTION ws_price_wsdj()");
    return out;
  }
  for (const auto& s : kSources) {
    const std::string prefix = std::string("CREATE TRIGGER ws_price_") + s.table;
    out.push_back(prefix + "_ins AFTER INSERT ON " + s.table + " BEGIN " + AddLine(s, "NEW") +
                  " END");
    out.push_back(prefix + "_upd AFTER UPDATE OF " + s.key + ", 单价, 单据ID ON " + s.table +
                  " BEGIN " + TakeLine(s, "OLD") + " " + AddLine(s, "NEW") + " END");
    out.push_back(prefix + "_del AFTER DELETE ON " + s.table + " BEGIN " + TakeLine(s, "OLD") +
                  " END");
  }
  out.push_back("CREATE TRIGGER ws_price_wsdj_ins AFTER INSERT ON wsdj BEGIN " +
                AddOrderAll("NEW") + "END");
  out.push_back(std::string("CREATE TRIGGER ws_price_wsdj_upd AFTER UPDATE OF smark, progID ON "
                            "wsdj WHEN ") +
                kOrderMoved + " BEGIN " + TakeOrderAll("OLD") + AddOrderAll("NEW") + "END");
  out.push_back("CREATE TRIGGER ws_price_wsdj_del AFTER DELETE ON wsdj BEGIN " +
                TakeOrderAll("OLD") + "END");
  return out;
}

std::vector<std::string> PriceSummaryFill() {
  std::vector<std::string> out = {"DELETE FROM ws_price_sum"};
  for (const auto& s : kSources) out.push_back(AddCheckedLines(s, s.table));
  return out;
}

Sql PriceSummarySelect(int rule, int kind, int64_t key, int64_t programNumber) {
  const char* value = rule == 1   ? "MIN(price)"
                      : rule == 2 ? "MAX(price)"
                                  : "SUM(price * n) / SUM(n)";
  return Sql(std::string("SELECT ") + value + " FROM ws_price_sum WHERE progid = ")
      .Key(programNumber)
      .Raw(" AND kind = ")
      .Key(kind)
      .Raw(" AND item_id = ")
      .Key(key)
      .Raw(" AND n > 0");
}

}  // namespace ws::db
