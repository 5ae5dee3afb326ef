// Texts a user may type (or paste) into any field: quotes and statement pieces, the wildcards
// and date marks of the dialects, backslashes, control characters, emoji, right-to-left and
// invisible characters, and one long text. None holds a NUL (no field can).
#pragma once

#include <string>
#include <vector>

namespace ws::hostile {

inline std::vector<std::string> HostileTexts() {
  std::vector<std::string> texts = {
      "'",
      "''",
      "O'Brien",
      "'; DROP TABLE WSDJ; --",
      "x' OR '1'='1",
      "--",
      "a -- b",
      "/* c */",
      "*/ x /*",
      "100%",
      "%",
      "%%",
      "_",
      "a_b",
      "%_%",
      "#",
      "#2012-06-15#",
      "#6/1/2012#",
      "@",
      "@@identity",
      "\\",
      "\\'",
      "a\\b\\\\c",
      "C:\\work\\selfbb\\",
      "\\%\\_",
      "\"",
      "\"\"",
      "[WSDJ]",
      "`x`",
      "?",
      "? ?",
      "$1",
      ":name",
      "; select 1",
      "a\tb",
      "line1\nline2",
      "cr\r\nlf",
      "\x01\x02\x1b[31m\x1f\x7f",
      " leading",
      "trailing ",
      "😀",
      "👨‍👩‍👧 family",
      "עברית",
      "العربية 123",
      "\u202Eevil\u202C.txt",
      "zero\u200Bwidth",
      "ＡＢＣ１２３",
      "汉字'引号'--注释",
      "e\u0301 vs \u00e9",
      "NULL",
      "isnull(a)",
      "iif(1,2,3)",
      "SELECT TOP 1 * FROM WSDJ",
      "1e308",
      "-0",
      "1,000.50",
      "－１２．５",
  };
  // A 10 kB text mixing every kind above.
  std::string big;
  while (big.size() < 10 * 1024) big += "长'%_#@\\\"--😀\u202E ";
  texts.push_back(big);
  return texts;
}

}  // namespace ws::hostile
