// Hostile texts typed into every text field of the repair order and of the three master cards,
// and searched for with Find and Filter: each is saved, read back and shown byte for byte, and
// no statement breaks, on SQLite and (with WS_PG_URL) on PostgreSQL.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/sql.h"
#include "forms/input.h"
#include "forms/text.h"
#include "forms/typed_number.h"
#include "hostile_checks.h"
#include "hostile_corpus.h"
#include "hostile_host.h"
#include "masters/descriptions.h"
#include "masters/master_card.h"
#include "repair_order/ws_s.h"

namespace ws::hostile {
namespace {

using forms::Input;
using repair_order::LineKind;
using repair_order::WS_S;

constexpr int64_t kOrderProgram = 200001;

// The repair order's free-text header fields: where each is kept, and whether it is kept
// trimmed (the number, and the car's own values, which the vehicle master shares with every
// order of that car).
struct OrderField {
  int index;
  const char* column;
  bool onCar;
};
const OrderField kOrderTexts[] = {
    {WS_S::kNumber, "工单号码", false},    {WS_S::kModel, "车型", true},
    {WS_S::kRemarks, "备注", false},       {WS_S::kEngine, "发动机号", true},
    {WS_S::kChassis, "车架号", true},      {WS_S::kPerson, "送修人", false},
    {WS_S::kTelephone, "司机电话", false}, {WS_S::kInvoice, "发票号码", false},
};

// What text i of the corpus becomes in a field: the number must be unique and not blank.
std::string ValueFor(int index, const std::string& text, size_t order) {
  return index == WS_S::kNumber ? "N" + std::to_string(order) + text : text;
}
// What the field holds once saved.
std::string KeptFor(const OrderField& field, const std::string& typed) {
  return field.onCar || field.index == WS_S::kNumber ? forms::Trim(typed) : typed;
}

class HostileOrderTest : public HostileHostTest {
 protected:
  std::string StoredText(const OrderField& field, int64_t id) {
    db::Sql sql("select ");
    if (field.onCar) {
      sql.Raw("c.").Raw(field.column).Raw(" from WSDJ w join clzl c on c.车辆ID=w.车辆ID");
    } else {
      sql.Raw("w.").Raw(field.column).Raw(" from WSDJ w");
    }
    return Scalar(sql.Raw(" where w.单据ID=").Key(id));
  }
  // Types every field of one order, saves it and answers its id (0 when refused).
  int64_t SaveOrder(WS_S& order, size_t n, const std::vector<std::string>& texts) {
    EXPECT_TRUE(order.FileNew());
    EXPECT_TRUE(Input::Type(order.Header(WS_S::kPlate), "京A12345").accepted);
    for (size_t k = 0; k < std::size(kOrderTexts); ++k) {
      const auto& field = kOrderTexts[k];
      const std::string value = ValueFor(field.index, texts[(n + 7 * k) % texts.size()], n);
      auto typed = Input::Type(order.Header(field.index), value);
      EXPECT_TRUE(typed.accepted) << field.column << ": " << typed.reason;
    }
    auto& grid = order.Lines(LineKind::Items).Grid();
    forms::Input::Click(order.Form().Get<forms::Widget>(WS_S::kItemTab));
    EXPECT_TRUE(Input::EditCell(grid, 1, repair_order::LineGrid::kCode, "X01").accepted);
    EXPECT_TRUE(order.FileSave()) << "order " << n << ": " << Failures();
    return order.GetID();
  }
};

TEST_P(HostileOrderTest, EveryTextFieldKeepsWhatWasTypedThroughSaveAndReload) {
  const auto texts = HostileTexts();
  ASSERT_GE(texts.size(), 40u);
  WS_S order;
  ASSERT_TRUE(order.Init(System(), kOrderProgram, 0));
  order.Events().AttachSink(&Sink());
  std::vector<int64_t> ids;
  // Every text lands in every field once: field k of order n holds text (n + 7k) mod size.
  for (size_t n = 0; n < texts.size(); ++n) {
    const int64_t id = SaveOrder(order, n, texts);
    ASSERT_GT(id, 0) << "order " << n << " was not saved: " << Failures();
    ids.push_back(id);
    for (size_t k = 0; k < std::size(kOrderTexts); ++k) {
      const auto& field = kOrderTexts[k];
      const std::string kept =
          KeptFor(field, ValueFor(field.index, texts[(n + 7 * k) % texts.size()], n));
      EXPECT_TRUE(SameBytes(StoredText(field, id), kept)) << field.column << " of order " << n;
      EXPECT_TRUE(SameBytes(order.Header(field.index).Text(), kept))
          << field.column << " shown after save";
    }
  }
  EXPECT_EQ(Failures(), "");

  // Read back by another window, as the next user opens each order.
  for (size_t n = 0; n < ids.size(); n += 5) {
    WS_S reader;
    ASSERT_TRUE(reader.Init(System(), kOrderProgram, ids[n]));
    ASSERT_TRUE(reader.RecordTop());
    ASSERT_EQ(reader.GetID(), ids[n]);
    for (size_t k = 0; k < std::size(kOrderTexts); ++k) {
      const auto& field = kOrderTexts[k];
      if (field.onCar) continue;  // the car now holds what the last order typed
      EXPECT_TRUE(
          SameBytes(reader.Header(field.index).Text(),
                    KeptFor(field, ValueFor(field.index, texts[(n + 7 * k) % texts.size()], n))))
          << field.column << " of order " << n << " read back";
    }
  }
}

TEST_P(HostileOrderTest, FindAndFilterTakeEveryTextAsAValue) {
  const auto texts = HostileTexts();
  WS_S order;
  ASSERT_TRUE(order.Init(System(), kOrderProgram, 0));
  order.Events().AttachSink(&Sink());
  std::vector<int64_t> ids;
  for (size_t n = 0; n < texts.size(); ++n) ids.push_back(SaveOrder(order, n, texts));

  // 送修人 (field 5 of the list) of order n holds text (n + 35) mod size.
  const size_t personSlot = 5;
  for (size_t n = 0; n < texts.size(); ++n) {
    const std::string& value = texts[(n + 7 * personSlot) % texts.size()];
    // Filter "=": exactly the order holding the text.
    // (Filter answers false by contract: its result is the list it loads.)
    order.Filter(std::vector<host::Condition>{{value, "WSDJ.送修人="}});
    EXPECT_EQ(order.GetID(), ids[n]) << "filter on text " << (n + 35) % texts.size();
    // Find "like": the holding order is among the matches (a wildcard may match more).
    order.Filter(std::vector<host::Condition>{});
    order.Find(std::vector<host::Condition>{{value, "WSDJ.送修人 like"}});
    bool found = false;
    for (size_t step = 0; step <= texts.size() && order.GetID() != 0 && !found; ++step) {
      found = order.GetID() == ids[n];
      if (!found) order.FindNext();
    }
    EXPECT_TRUE(found) << "find like on text " << (n + 35) % texts.size();
  }
  // Every other column the window offers takes every text without a broken statement; date
  // and number columns take what the find dialog passes there (whole calendar dates, numbers
  // as a number field reads them).
  const std::vector<std::string> dateTexts = {"2012-06-15", "0001-01-01", "9999-12-31",
                                              "2012-02-29"};
  for (const auto& column : order.FindColumns()) {
    const bool date = column.kind == host::FindKind::Date;
    for (std::string value : date ? dateTexts : texts) {
      if (column.kind == host::FindKind::Number) {
        auto number = forms::ParseTypedNumber(value);
        if (!number) continue;
        value = number->text;
      }
      if (date) {
        order.Find(std::vector<host::Condition>{{value, column.column + ">="}});
        order.Filter(std::vector<host::Condition>{{value, column.column + "<="}});
        continue;
      }
      const std::string op = column.kind == host::FindKind::Text ? " like" : "=";
      order.Find(std::vector<host::Condition>{{value, column.column + op}});
      order.Filter(std::vector<host::Condition>{{value, column.column + "="}});
    }
  }
  EXPECT_EQ(Failures(), "");
}

INSTANTIATE_TEST_SUITE_P(Engines, HostileOrderTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return EngineName(info.param); });

// The three master cards: every text field of each.
struct CardCase {
  const masters::MasterCardDescription& (*description)();
  int64_t program;
};
const CardCase kCards[] = {{&masters::VehicleCard, 200012},
                           {&masters::ItemCard, 200013},
                           {&masters::CategoryCard, 200029}};

class HostileCardTest : public HostileHostTest {};

TEST_P(HostileCardTest, EveryTextFieldOfEveryMasterCardKeepsWhatWasTyped) {
  const auto texts = HostileTexts();
  for (const auto& cardCase : kCards) {
    const auto& description = cardCase.description();
    masters::MasterCard card(description);
    card.Events().AttachSink(&Sink());
    ASSERT_TRUE(card.Init(System(), cardCase.program, 0));
    std::vector<int> textFields;
    for (int i = 0; i < static_cast<int>(description.fields.size()); ++i) {
      if (description.fields[i].kind == forms::FieldKind::Text) textFields.push_back(i);
    }
    ASSERT_GE(textFields.size(), 2u) << description.className;
    // Field 0 is the code (stored trimmed, unique) and field 1 the name (unique): both carry
    // a number of their own ahead of the text.
    auto valueFor = [&](int field, size_t n) {
      const std::string& text = texts[(n + 11 * static_cast<size_t>(field)) % texts.size()];
      return field <= 1 ? "K" + std::to_string(n) + "-" + text : text;
    };
    for (size_t n = 0; n < texts.size(); ++n) {
      ASSERT_TRUE(card.FileNew());
      for (int field : textFields) {
        auto typed = Input::Type(card.FieldAt(field), valueFor(field, n));
        EXPECT_TRUE(typed.accepted)
            << description.className << " field " << field << ": " << typed.reason;
      }
      ASSERT_TRUE(card.FileSave()) << description.className << " row " << n << ": " << Failures();
      const int64_t id = card.GetID();
      masters::MasterCard reader(description);
      ASSERT_TRUE(reader.Init(System(), cardCase.program, id));
      ASSERT_TRUE(reader.RecordTop());
      for (int field : textFields) {
        std::string expected = valueFor(field, n);
        if (field <= 1) expected = forms::Trim(expected);  // code and name are kept trimmed
        EXPECT_TRUE(SameBytes(reader.FieldAt(field).Text(), expected))
            << description.className << " field " << field << " of row " << n;
      }
      // The card's own Filter finds the row by its name as kept, whatever the name holds.
      card.Filter(std::vector<host::Condition>{
          {forms::Trim(valueFor(1, n)), description.findColumns.at(1).column + "="}});
      EXPECT_EQ(card.GetID(), id) << description.className << " filter on row " << n;
      card.Filter(std::vector<host::Condition>{});
    }
  }
  EXPECT_EQ(Failures(), "");
}

INSTANTIATE_TEST_SUITE_P(Engines, HostileCardTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return EngineName(info.param); });

}  // namespace
}  // namespace ws::hostile
