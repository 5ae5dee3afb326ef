// Text placed into HTML, by the print pages and by the workshop's web pages alike: the five
// characters that could end an element or an attribute become entities.
#pragma once

#include <string>
#include <string_view>

namespace ws::platform {

std::string HtmlEscaped(std::string_view text);

}  // namespace ws::platform
