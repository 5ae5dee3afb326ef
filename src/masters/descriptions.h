// The master controls as descriptions: what tells the vehicle, repair-item, repair-category,
// customer, part and employee lists and cards apart, and the read-only lists of what `ws import`
// brings. The objects are static and live as long as the
// program.
#pragma once

#include <cstdint>
#include <vector>

#include "masters/master_card.h"
#include "masters/master_list.h"

namespace ws::masters {

// Program numbers of the cards, as the lists ask the host for them with EditForm.
inline constexpr int64_t kVehicleCardProgram = 200012;
inline constexpr int64_t kItemCardProgram = 200013;
inline constexpr int64_t kCategoryCardProgram = 200029;
// Program numbers of the lists.
inline constexpr int64_t kVehicleListProgram = 200011;
inline constexpr int64_t kItemListProgram = 200014;
inline constexpr int64_t kCategoryListProgram = 200028;
// The customer, part and employee masters: list and card.
inline constexpr int64_t kCustomerListProgram = 200041;
inline constexpr int64_t kCustomerCardProgram = 200042;
inline constexpr int64_t kPartListProgram = 200043;
inline constexpr int64_t kPartCardProgram = 200044;
inline constexpr int64_t kEmployeeListProgram = 200045;
inline constexpr int64_t kEmployeeCardProgram = 200046;
// What a new shop brings in with `ws import`, shown and never changed: opening stock,
// settlement methods and ledger accounts.
inline constexpr int64_t kOpeningStockListProgram = 200047;
inline constexpr int64_t kSettlementMethodListProgram = 200048;
inline constexpr int64_t kLedgerAccountListProgram = 200049;

const MasterListDescription& VehicleList();           // PDM_cl
const MasterListDescription& ItemList();              // PDM_XM
const MasterListDescription& CategoryList();          // PDM_WXFL
const MasterListDescription& CustomerList();          // PDM_KH
const MasterListDescription& PartList();              // PDM_PJ
const MasterListDescription& EmployeeList();          // PDM_GY
const MasterListDescription& OpeningStockList();      // PDM_QCKC
const MasterListDescription& SettlementMethodList();  // PDM_JSFS
const MasterListDescription& LedgerAccountList();     // PDM_KJKM

const MasterCardDescription& VehicleCard();   // PDM_clAdd
const MasterCardDescription& ItemCard();      // PDM_XMAdd
const MasterCardDescription& CategoryCard();  // PDM_WXFLAdd
const MasterCardDescription& CustomerCard();  // PDM_KHAdd
const MasterCardDescription& PartCard();      // PDM_PJAdd
const MasterCardDescription& EmployeeCard();  // PDM_GYAdd

// Every list and every card, in menu order.
const std::vector<const MasterListDescription*>& AllLists();
const std::vector<const MasterCardDescription*>& AllCards();

// The partner lookup of the vehicle card's owner field.
const LookupDescription& PartnerLookup();

}  // namespace ws::masters
