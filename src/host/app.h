// Facts about the application every control shares.
#pragma once

namespace ws::host {

// The title controls pass with ErrMessage and on their message boxes when they name none.
inline constexpr const char* kAppTitle = "汽车维修管理";

}  // namespace ws::host
