// Shared set-up of the master tests: the three masters seen through one shape of row (id, code,
// name, a third text column), so list and card cases run the same steps on every master.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "db/sql.h"
#include "masters/descriptions.h"
#include "support/test_host.h"

namespace ws::masters {

enum class Kind { Vehicle, Item, Category };

inline std::string KindName(Kind kind) {
  switch (kind) {
    case Kind::Vehicle:
      return "Vehicle";
    case Kind::Item:
      return "Item";
    case Kind::Category:
      return "Category";
  }
  return "?";
}

class MastersTest : public test::HostTest {
 protected:
  // A master row: vehicle (车辆编号, 车牌号, 发动机号), item (编码, 维修项目, 项目属性),
  // category (编码, 维修分类, 说明).
  void AddRow(Kind kind, int64_t id, const std::string& code, const std::string& name,
              const std::string& third = "") {
    db::Sql sql;
    switch (kind) {
      case Kind::Vehicle:
        sql.Raw("insert into clzl (车辆ID,车辆编号,车牌号,发动机号) values (");
        break;
      case Kind::Item:
        sql.Raw("insert into PDMWXXM (AutoID,编码,维修项目,项目属性) values (");
        break;
      case Kind::Category:
        sql.Raw("insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (");
        break;
    }
    host_.Exec(sql.Key(id).Raw(",").Text(code).Raw(",").Text(name).Raw(",").Text(third).Raw(")"));
  }

  // Makes the row referenced by a repair order (vehicle, category) or an order's item line.
  void UseRow(Kind kind, int64_t id) {
    const int64_t next = ++nextUse_;
    switch (kind) {
      case Kind::Vehicle:
        host_.Exec(db::Sql("insert into WSDJ (单据ID,progid,smark,车辆ID) values (")
                       .Key(next)
                       .Raw(",200001,'01',")
                       .Key(id)
                       .Raw(")"));
        break;
      case Kind::Item:
        host_.Exec(db::Sql("insert into WSDJXM (单据明细ID,单据ID,项目ID) values (")
                       .Key(next)
                       .Raw(",1,")
                       .Key(id)
                       .Raw(")"));
        break;
      case Kind::Category:
        host_.Exec(db::Sql("insert into WSDJ (单据ID,progid,smark,维修分类ID) values (")
                       .Key(next)
                       .Raw(",200001,'01',")
                       .Key(id)
                       .Raw(")"));
        break;
    }
  }

  static std::string Table(Kind kind) {
    return kind == Kind::Vehicle ? "clzl" : kind == Kind::Item ? "PDMWXXM" : "pdmwxfl";
  }
  static std::string KeyColumn(Kind kind) {
    return kind == Kind::Vehicle ? "车辆ID" : kind == Kind::Item ? "AutoID" : "维修分类ID";
  }
  static std::string NameColumn(Kind kind) {
    return kind == Kind::Vehicle ? "车牌号" : kind == Kind::Item ? "维修项目" : "维修分类";
  }

  int64_t RowCount(Kind kind) {
    return host_.Scalar("select count(*) from " + Table(kind)).ToLong();
  }
  bool RowExists(Kind kind, int64_t id) {
    return host_
               .Scalar("select count(*) from " + Table(kind) + " where " + KeyColumn(kind) + "=" +
                       std::to_string(id))
               .ToLong() == 1;
  }
  std::string NameOf(Kind kind, int64_t id) {
    return host_
        .Scalar("select " + NameColumn(kind) + " from " + Table(kind) + " where " +
                KeyColumn(kind) + "=" + std::to_string(id))
        .ToText();
  }

  bool Logged(const std::string& sql) {
    const auto& log = host_.Db().Log();
    return std::find(log.begin(), log.end(), sql) != log.end();
  }

  const std::vector<test::AskedBox>& Boxes() { return host_.Dialogs().Boxes(); }

  // The ErrMessage events as (text, level, title).
  struct Err {
    std::string text;
    int64_t level;
    std::string title;
  };
  std::vector<Err> Errs() {
    std::vector<Err> out;
    for (const auto& e : host_.Sink().Named("ErrMessage")) {
      out.push_back({e.args.at(0).ToText(), e.args.at(1).ToLong(), e.args.at(2).ToText()});
    }
    return out;
  }

 private:
  int64_t nextUse_ = 900;
};

}  // namespace ws::masters
