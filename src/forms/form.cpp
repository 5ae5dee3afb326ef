#include "forms/form.h"

#include <algorithm>
#include <stdexcept>
#include "forms/text.h"

namespace ws::forms {

namespace {
}  // namespace

Widget* Form::Find(std::string_view name, int index) const {
  for (const auto& child : children_) {
    if (child->Name() == name && child->Index() == index) return child.get();
  }
  return nullptr;
}

Field* Form::FindFieldByCaption(std::string_view caption) const {
  caption = TrimView(caption);
  for (const auto& child : children_) {
    if (auto* field = dynamic_cast<Field*>(child.get()); field && TrimView(field->Caption()) == caption) {
      return field;
    }
  }
  return nullptr;
}

std::vector<Widget*> Form::Array(std::string_view name) const {
  std::vector<Widget*> members;
  for (const auto& child : children_) {
    if (child->Name() == name && child->InArray()) members.push_back(child.get());
  }
  std::sort(members.begin(), members.end(),
            [](Widget* a, Widget* b) { return a->Index() < b->Index(); });
  return members;
}

void Form::ThrowMissing(std::string_view name, int index) const {
  throw std::logic_error("form " + name_ + " has no widget " + std::string(name) +
                         (index >= 0 ? "(" + std::to_string(index) + ")" : std::string()));
}

}  // namespace ws::forms
