// The six master controls as descriptions: what tells the vehicle, repair-item and
// repair-category lists and cards apart. The objects are static and live as long as the program.
#pragma once

#include <cstdint>

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

const MasterListDescription& VehicleList();   // PDM_cl
const MasterListDescription& ItemList();      // PDM_XM
const MasterListDescription& CategoryList();  // PDM_WXFL

const MasterCardDescription& VehicleCard();   // PDM_clAdd
const MasterCardDescription& ItemCard();      // PDM_XMAdd
const MasterCardDescription& CategoryCard();  // PDM_WXFLAdd

// The partner lookup of the vehicle card's owner field.
const LookupDescription& PartnerLookup();

}  // namespace ws::masters
