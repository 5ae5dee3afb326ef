// clsFun: the public stock functions a document keeps for its lifetime. This file holds its
// price function; the stock-quantity and default-depot functions join it with the material
// requisition.
#pragma once

#include <cstdint>
#include <string>

#include "host/system.h"

namespace ws::framework {

class clsFun {
 public:
  // Keeps the system object for the queries; always true.
  bool Init(host::ISystem& poSystem);

  // The stock of part lCpId in period lKj: dKcSl the quantity and dKcZl the weight (second
  // unit) summed over the balance rows, in depot lCkID when bIsCk or else over every depot
  // counted in the stock figures (pdmbm.不参与物料运算 = 0), narrowed by the location, grade,
  // feature code and batch whose switch is on. No balance row gives 0 and 0.
  // A failure shows "GetKcSlZl:" + description (critical, "提示:") and answers false with both
  // outputs unchanged; without Init the answer is false.
  bool GetKcSlZl(double& dKcSl, double& dKcZl, int64_t lKj, int64_t lCpId, bool bIsCk,
                 int64_t lCkID, bool bIsHw, const std::string& sHw, bool bIsDJ,
                 const std::string& sDJ, bool bIsTZM, const std::string& sTZM, bool bIsCpPc,
                 const std::string& sCpPc);

  // The depot a part is issued from by default: among the balance rows of part lCpId (of any
  // period; lKj is not consulted) in depots not barred for the part (pdmbmcpty.是否停用 = 1),
  // narrowed by the depot attribute (pdmbm.属性 = lCkSX) when bIsCkSX and by the grade,
  // feature code and batch whose switch is on, the one with the lowest depot id; within that
  // depot the location of its latest period (then the first location by text). lCkID, sCk and
  // sHw receive the depot id, name and location; no candidate gives 0, "" and "".
  // A failure shows "GetGoodsDepot:" + description (critical, "提示:") and answers false with
  // the outputs unchanged; without Init the answer is false.
  bool GetGoodsDepot(int64_t& lCkID, std::string& sCk, std::string& sHw, int64_t lCpId, int64_t lKj,
                     bool bIsCkSX, int64_t lCkSX, bool bIsDJ, const std::string& sDJ, bool bIsTZM,
                     const std::string& sTZM, bool bIsCpPc, const std::string& sCpPc);

  // The price of part lCpId by the price rule lItem:
  //   0 price 0; 1/2/3/4 lowest, highest, average or latest price on checked stock documents of
  //   program lProgID (tax-inclusive prices when bHs), 11-14 the same for partner lWlID only;
  //   5 reference wholesale, 6 reference retail, 8 reference purchase price; 7 stock average
  //   cost of period lKj in depot lCkID (every counted depot when lCkID <= 0), narrowed by the
  //   location, grade, feature code and batch whose switch is on; 21 the partner's checked
  //   agreed purchase price in currency 100. Other rules, and rule 7 without stock, leave
  //   dPrice as it was. No row or Null gives 0.
  // A failure shows "GetCpPrice::" + description in a message box and answers false with dPrice
  // unchanged; without Init the answer is false.
  bool GetCpPrice(db::Amount& dPrice, int64_t lItem, int64_t lKj, int64_t lCpId, bool bHs,
                  int64_t lProgID, int64_t lWlID, int64_t lCkID, bool bIsHw, const std::string& sHw,
                  bool bIsDJ, const std::string& sDJ, bool bIsTZM, const std::string& sTZM,
                  bool bIsCpPc, const std::string& sCpPc);

 private:
  host::ISystem* poSystem_ = nullptr;
};

}  // namespace ws::framework
