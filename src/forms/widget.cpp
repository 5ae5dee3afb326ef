#include "forms/widget.h"

namespace ws::forms {

std::string Widget::LayoutKey() const {
  return InArray() ? name_ + "_" + std::to_string(index_) : name_;
}

}  // namespace ws::forms
