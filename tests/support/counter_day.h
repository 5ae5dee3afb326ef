// A day at the counter of a demo shop (seed 1, orders up to 2012-06-15), as a host script: the
// storekeeper issues two parts to the day's order and checks the requisition, the cashier
// settles that order (cash, the cent written off) and takes 1000 from a customer against its
// oldest orders. Afterwards each kind of document the counter prints has one on file.
#pragma once

namespace ws::test {

inline constexpr const char* kCounterDay = R"(
login 张三 2012-06-15
open CKLl_WS 200002
call FileNew
dialog frmSelWS
  tick ywGrid1 1
  tick ywGrid1 2
  click btn 0
end
click btn
call FileSave
call Check

login 李会计 2012-06-15
open JS_WS 200003
call FileNew
dialog frmSelWsJs
  type #1 20120615001
  click btn 2
  select ywGrid1 1
  click btn 0
end
click cmdSelect
type 科目 1001
type 总金额 5969.9
type 扣零金额 0.1
call FileSave

open JS_S 200004
call FileNew
type #3 廊坊恒通
type #4 1000
dialog frmSel_AR_Rec
  click btn 0
end
click cmdSelect
call FileSave
)";

}  // namespace ws::test
