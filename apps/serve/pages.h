// The floor's pages as server-rendered HTML: every text that came from a user or the database
// is escaped here, and the pages load nothing but the server's own stylesheet and script
// (a shop's network may have no internet). Built for a phone (390 wide) and a tablet.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "workshop/examination.h"
#include "workshop/floor.h"

namespace ws::serve {

// The text as HTML text or attribute value: & < > " ' escaped.
std::string Escaped(std::string_view text);

// What every page of a logged-in account shows at its top.
struct PageFrame {
  std::string user;   // the account
  std::string name;   // the technician's name, or the account's when none
  std::string csrf;   // the session's token, for the logout form
  std::string flash;  // a message from the last step, shown once
  bool flashIsError = false;
};

std::string LoginPage(const std::string& csrf, const std::string& message,
                      const std::string& userName);
std::string BoardPage(const PageFrame& frame, const std::vector<workshop::JobLine>& mine,
                      const std::vector<workshop::JobLine>& open, bool isTechnician);
std::string JobPage(const PageFrame& frame, const workshop::JobLine& job,
                    const std::vector<workshop::ClockRecord>& records, int64_t me, bool mayClock);
std::string ExaminationPage(const PageFrame& frame, int64_t orderId, const std::string& orderNo,
                            const std::string& plate,
                            const std::vector<workshop::Finding>& findings,
                            const std::vector<workshop::Suggestion>& suggestions, bool mayExamine);
std::string ErrorPage(int status, const std::string& message);

// The stylesheet and the script the pages load (/static/app.css, /static/app.js).
std::string_view StyleSheet();
std::string_view Script();

}  // namespace ws::serve
