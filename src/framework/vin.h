// Vehicle identification numbers (车架号) as ISO 3779 writes them: seventeen characters, digits
// and capital letters without I, O and Q, which read as 1 and 0.
//
// Position 9 is a check digit only where the maker's region requires one: North America (the
// first character 1 to 5) and China (L, whose national standard takes the same digit and
// weights). Elsewhere a maker may put anything there, so that character is not judged: a false
// alarm on every European or Japanese car would teach the counter to click the warning away.
//
// A VIN that fails is a warning with its reason, never a refusal: the number stamped on the car
// is what it is, and the clerk must be able to store it as read.
#pragma once

#include <string>
#include <string_view>

namespace ws::framework {

enum class VinProblem { None, Length, Character, CheckDigit };

struct VinCheck {
  VinProblem problem = VinProblem::None;
  int length = 0;     // characters, not bytes: a full-width digit typed through an IME is one
  int position = 0;   // 1-based: the first disallowed character, or 9 for the check digit
  std::string found;  // the character at that position
  char expected = 0;  // the check digit the other sixteen characters give
  bool Ok() const { return problem == VinProblem::None; }
  // Why the VIN fails, in the words the counter reads; empty when it passes.
  std::string Reason() const;
};

// Judges the text as the clerk reads it: blanks around it ignored, letters of either case. An
// empty text passes: it is no VIN, and many cards never had one.
VinCheck CheckVin(std::string_view text);

// The check digit of seventeen allowed characters ('0'..'9' or 'X'); position 9 itself does
// not count. Any other text answers 0.
char VinCheckDigit(std::string_view vin);

// Whether the maker's region writes the check digit (see above).
bool UsesCheckDigit(std::string_view vin);

// What a field keeps of typed text: a VIN but for the case of its letters (seventeen ASCII
// letters and digits, blanks around) is put in capitals and trimmed, as it is on the car;
// anything else stays exactly as typed, for a chassis number is not always a VIN.
std::string NormalizeVin(std::string_view typed);

// How every VIN warning ends: the clerk may go on.
inline constexpr const char* kVinWarningEnd = "仅作提示，不影响保存，请核对。";

// The warning a window shows when the VIN field is left or the window saved: once for each text,
// so leaving the field and then saving does not ask the clerk twice about the same number.
class VinWarning {
 public:
  // The message to show for this text, or empty when it passes or was told already.
  std::string Due(std::string_view text);
  // A record shown or cleared: its VIN has not been told about.
  void Forget() { told_.clear(); }
  // A VIN the window was handed rather than typed: not to be warned about unless it changes.
  void Known(std::string_view text);

 private:
  std::string told_;
};

}  // namespace ws::framework
