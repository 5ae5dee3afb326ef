// How the repair order uses the host's pickers: obtain one by name, prepare it with the program
// number and its parameters, let it resolve a typed text, or show it for the user to choose.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <utility>
#include <vector>
#include "forms/text.h"

#include "host/property_bag.h"
#include "host/system.h"
#include "host/ui.h"

namespace ws::framework {

using forms::Trim;

using PickerParameters = std::vector<std::pair<std::string, std::string>>;

// The picker of that name, initialised with the program number and given the parameters;
// nullptr when the host has no such picker or the picker declines (its Init answers false).
std::shared_ptr<host::IControl> OpenPicker(host::ISystem& system, const std::string& name,
                                           int64_t programNumber,
                                           const PickerParameters& parameters = {});

// What a picker made of a text: the key (as text), the display text and the chosen row's bag.
struct PickedRow {
  bool found = false;
  std::string value;
  std::string text;
  host::PropertyBag objects;
};

// Resolves a typed text through the picker's Validate. Key pickers resolve when the key they
// answer is a positive number; name pickers (keyed false) when they answer a text.
PickedRow ResolveTyped(host::IControl& picker, const std::string& typed, bool keyed = true);

// Shows the picker with the text for the user to choose; found when a row was chosen.
PickedRow ChooseInPicker(host::ISystem& system, host::IControl& picker, const std::string& text);

}  // namespace ws::framework
