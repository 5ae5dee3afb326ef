// Translation of the module's statement dialect into the dialect of the engine that runs it.
//
// The module writes its statements the way the desktop dialect reads them: `SELECT TOP n`,
// `#yyyy-mm-dd#` date literals, the one-argument `isnull(x)` test, the server's two-argument
// `isnull(a,b)` and `iif(c,a,b)`. An engine service passes every statement through Translate
// before it prepares it:
//
//   SELECT [DISTINCT|ALL] TOP n ...   -> SELECT [DISTINCT|ALL] ... LIMIT n, the LIMIT placed at
//                                        the end of that SELECT: before the ")" that closes it
//                                        when it is a subquery, before a ";", else at the end.
//                                        A SELECT that is the first member of a UNION /
//                                        INTERSECT / EXCEPT is wrapped as
//                                        SELECT * FROM (SELECT ... LIMIT n), as the engines
//                                        allow LIMIT only after the last member.
//   #yyyy-mm-dd#, #yyyy/m/d#, #m/d/yyyy# (optionally with a time)
//                                     -> 'yyyy-mm-dd[ time]'; a date-shaped literal that is no
//                                        calendar date keeps its text between single quotes.
//   isnull(x)                         -> (x IS NULL)
//   isnull(a, b)                      -> COALESCE(a, b)
//   iif(c, a, b)                      -> CASE WHEN c THEN a ELSE b END
//   LIKE (Postgres only)              -> ILIKE, as the desktop dialect compares without case;
//                                        a literal or "?" pattern without an ESCAPE clause gets
//                                        ESCAPE '', as the desktop dialect has no escape
//                                        character (a typed backslash is itself).
//   ? (Postgres only)                 -> $1, $2, ... in the order of the placeholders, which is
//                                        the order their values are bound in.
//
// Arguments may nest and may hold parentheses, commas and string literals of their own. The
// inside of string literals ('...' with '' escapes), of quoted identifiers ("...", [...],
// `...`) and of comments is never changed. Everything the rules above do not name is copied
// byte for byte, so a statement with nothing to translate comes back unchanged. Forms that
// have no faithful translation (TOP n PERCENT, isnull or iif with the wrong number of
// arguments) are left as written, so the engine refuses them with its own message instead of
// running something else.
#pragma once

#include <string>
#include <string_view>

namespace ws::platform {

enum class SqlTarget { Sqlite, Postgres };

// Answers the statement in the target's dialect. Never fails: unknown or malformed input is
// copied through for the engine to judge.
std::string TranslateSql(std::string_view sql, SqlTarget target);

// The text of a date literal's inside ("2012/6/1", "6/1/2012 10:30") as "yyyy-mm-dd" followed
// by the time part when there is one; empty when the text is not a calendar date.
std::string NormaliseDateLiteral(std::string_view inside);

}  // namespace ws::platform
