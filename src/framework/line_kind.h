// Which line set of a repair order a line belongs to: labour items (WSDJXM, key 项目ID) or parts
// (WSDJPJ, key 产品ID). The price proposal and the order's statements both speak of it.
#pragma once

namespace ws::framework {

enum class LineKind { Items, Parts };

}  // namespace ws::framework
