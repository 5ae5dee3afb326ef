// What the settlement and the receipt share as rows of ARPReceive told apart by their program
// number: the document number settled before the save (a new document's proposed by NewBillNo),
// the ledger period and the fixed values of a new row, the number's uniqueness tested under the
// write lock, and the saved document shown again with its number.
#pragma once

#include <cstdint>
#include <string>

#include "db/date.h"
#include "framework/document.h"

namespace ws::money {

class MoneyDocument : public framework::Document {
 public:
  // Edits the document shown; with none shown a box "请选择具体的单据" titled "提示:" and false.
  bool FileEdit() override;

 protected:
  MoneyDocument(std::string className, framework::HeaderSchema schema, std::string fieldArray);

  // Sets 单据编号 and 会计期间, and for a new document progID, smark "01" and status "填单".
  // An empty number is told and answers false; the typed number stays in the field.
  bool PrepareMoneyHeader(framework::RowValues& values, bool isNew, int64_t period);
  // Other documents of the program with the number being saved.
  db::Sql DuplicateNumberSelect(const framework::SaveContext& ctx) const override;
  // "收款单号重复,请检查后重试!" in a box, the cursor on the number.
  void RefuseDuplicateNumber(bool isNew) override;
  // "保存数据成功,单据编号：<number>".
  std::string SavedText() const override;

  forms::Field& NumberInput() const;
  static constexpr const char* kDuplicateText = "收款单号重复,请检查后重试!";
};

}  // namespace ws::money
