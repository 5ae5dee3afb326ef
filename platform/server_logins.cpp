#include "platform/server_logins.h"

#include <libpq-fe.h>

#include "db/runner.h"
#include "db/sql.h"
#include "platform/postgres_database.h"

namespace ws::platform {

namespace {

// The version of the rules below, kept in ws_meta as "server_rights": a shop whose rules are
// older is installed again when an account next changes.
constexpr const char* kRulesVersion = "6";

// Every name is built inside the server with format('%I'), so account names of any text (the
// documents record Chinese names) are quoted as identifiers there, and values stay bound.
constexpr const char* kInstall = R"sql(
CREATE OR REPLACE FUNCTION ws_server_group(word text) RETURNS text LANGUAGE sql STABLE AS
  $f$ SELECT left(current_database() || '_' || current_schema(), 48) || '_' || word $f$;

-- The logins this shop made: the only roles ws_server_login touches. Written by nobody else.
CREATE TABLE IF NOT EXISTS ws_server_account (login text NOT NULL PRIMARY KEY);

-- Whether the statement runs with a right. The owner role has every right: the shop's maker, a
-- superuser, and a manager who took the owner role by SET ROLE (a restore). USAGE, not MEMBER:
-- the managers' group is a NOINHERIT member of the owner role, so a manager's own connection
-- holds none of its rights.
CREATE OR REPLACE FUNCTION ws_server_may(word text) RETURNS boolean LANGUAGE sql STABLE AS $f$
  SELECT pg_catalog.pg_has_role(current_user, ws_server_group('owner'), 'USAGE')
      OR pg_catalog.pg_has_role(current_user, ws_server_group(word), 'USAGE') $f$;

CREATE OR REPLACE FUNCTION ws_server_need(word text, what text) RETURNS void LANGUAGE plpgsql
STABLE AS $f$
BEGIN
  IF NOT ws_server_may(word) THEN
    RAISE EXCEPTION '没有“%”权限，不能%',
      CASE word WHEN 'enter' THEN '录入' WHEN 'check' THEN '审核' WHEN 'receive' THEN '收款'
                ELSE '管理' END, what
      USING ERRCODE = 'insufficient_privilege';
  END IF;
END $f$;

-- The documents' state, money and deletes are guarded by row triggers rather than column
-- privileges alone: a column grant cannot tell an insert of a checked order from an unchecked
-- one, nor a delete of a checked document, and the rule "a checked document is never deleted"
-- binds every role. The triggers run as the writer (no SECURITY DEFINER), so current_user is
-- the writer's. Their WHEN clauses (ws_server_install) call a function only when a guarded
-- column moved or the row is checked: a save's or a check's other updates pay nothing. A right
-- is tested inline (ws_server_may is inlined into a plain expression) and ws_server_need, a
-- statement of its own, runs only to refuse.
CREATE OR REPLACE FUNCTION ws_guard_wsdj() RETURNS trigger LANGUAGE plpgsql AS $f$
DECLARE
  probe record;
BEGIN
  IF TG_OP = 'DELETE' THEN
    IF OLD.smark = '02' THEN
      RAISE EXCEPTION '维修单“%”已审核，不能删除：请先弃审', OLD.工单号码
        USING ERRCODE = 'insufficient_privilege';
    END IF;
    IF NOT ws_server_may('enter') THEN
      PERFORM ws_server_need('enter', '删除维修单');
    END IF;
    RETURN OLD;
  END IF;
  IF TG_OP = 'INSERT' THEN
    IF NEW.smark = '02' AND NOT ws_server_may('check') THEN
      PERFORM ws_server_need('check', '存入已审核的维修单');
    END IF;
    IF (COALESCE(NEW.总金额, 0) <> 0 OR COALESCE(NEW.现收金额, 0) <> 0
        OR COALESCE(NEW.补收金额, 0) <> 0 OR COALESCE(NEW.扣零金额, 0) <> 0
        OR COALESCE(NEW.扣减金额, 0) <> 0 OR COALESCE(NEW.余额, 0) <> 0)
       AND NOT ws_server_may('receive') THEN
      PERFORM ws_server_need('receive', '写维修单的收款金额');
    END IF;
    RETURN NEW;
  END IF;
  IF (NEW.smark, NEW.审核人, NEW.审核日期) IS DISTINCT FROM (OLD.smark, OLD.审核人, OLD.审核日期)
  THEN
    IF NOT ws_server_may('check') THEN
      PERFORM ws_server_need('check', '改变维修单的审核状态');
    END IF;
  ELSIF OLD.smark = '02' AND NOT ws_server_may('check') THEN
    -- 收款 writes a checked order's collected amounts (a receipt's write-off) and nothing else:
    -- the new row with the old amounts put back must be the old row (a row comparison, not a
    -- conversion of both rows to JSON).
    IF NOT ws_server_may('receive') THEN
      RAISE EXCEPTION '维修单“%”已审核，不能修改', OLD.工单号码
        USING ERRCODE = 'insufficient_privilege';
    END IF;
    probe := NEW;
    probe.总金额 := OLD.总金额;
    probe.现收金额 := OLD.现收金额;
    probe.补收金额 := OLD.补收金额;
    probe.扣零金额 := OLD.扣零金额;
    probe.扣减金额 := OLD.扣减金额;
    probe.余额 := OLD.余额;
    IF probe IS DISTINCT FROM OLD THEN
      RAISE EXCEPTION '维修单“%”已审核，不能修改', OLD.工单号码
        USING ERRCODE = 'insufficient_privilege';
    END IF;
  END IF;
  IF (NEW.总金额, NEW.现收金额, NEW.补收金额, NEW.扣零金额, NEW.扣减金额, NEW.余额)
     IS DISTINCT FROM
     (OLD.总金额, OLD.现收金额, OLD.补收金额, OLD.扣零金额, OLD.扣减金额, OLD.余额)
     AND NOT ws_server_may('receive') THEN
    PERFORM ws_server_need('receive', '改变维修单的收款金额');
  END IF;
  RETURN NEW;
END $f$;

CREATE OR REPLACE FUNCTION ws_guard_jxcdj() RETURNS trigger LANGUAGE plpgsql AS $f$
BEGIN
  IF TG_OP = 'DELETE' THEN
    IF OLD.smark = '02' THEN
      RAISE EXCEPTION '领料单“%”已审核，不能删除：请先弃审', OLD.单据编号
        USING ERRCODE = 'insufficient_privilege';
    END IF;
    IF NOT ws_server_may('enter') THEN
      PERFORM ws_server_need('enter', '删除领料单');
    END IF;
    RETURN OLD;
  END IF;
  IF TG_OP = 'INSERT' THEN
    IF NEW.smark = '02' AND NOT ws_server_may('check') THEN
      PERFORM ws_server_need('check', '存入已审核的领料单');
    END IF;
    RETURN NEW;
  END IF;
  IF (NEW.smark, NEW.仓库审核, NEW.审核日期) IS DISTINCT FROM (OLD.smark, OLD.仓库审核, OLD.审核日期)
  THEN
    IF NOT ws_server_may('check') THEN
      PERFORM ws_server_need('check', '改变领料单的审核状态');
    END IF;
    -- The check posts the stock journal before it marks the requisition: a mark without the
    -- journal's rows is no check.
    IF NEW.smark = '02' AND OLD.smark IS DISTINCT FROM '02'
       AND EXISTS (SELECT 1 FROM jxcdjmx WHERE 单据ID = NEW.单据ID)
       AND NOT EXISTS (SELECT 1 FROM jxcgoodslist WHERE progid = NEW.progID
                                                    AND 单据ID = NEW.单据ID) THEN
      RAISE EXCEPTION '领料单“%”的出库流水没有记账，不能标为已审核', NEW.单据编号
        USING ERRCODE = 'insufficient_privilege';
    END IF;
  ELSIF OLD.smark = '02' AND NOT ws_server_may('check') THEN
    RAISE EXCEPTION '领料单“%”已审核，不能修改', OLD.单据编号
      USING ERRCODE = 'insufficient_privilege';
  END IF;
  RETURN NEW;
END $f$;

-- Settlements and receipts: only 收款 writes them at all (table grants); a checked one stays.
CREATE OR REPLACE FUNCTION ws_guard_arpreceive() RETURNS trigger LANGUAGE plpgsql AS $f$
BEGIN
  IF OLD.smark = '02' THEN
    RAISE EXCEPTION '单据“%”已审核，不能删除：请先弃审', OLD.单据编号
      USING ERRCODE = 'insufficient_privilege';
  END IF;
  RETURN OLD;
END $f$;

-- The lines of a checked order or requisition stay as they were checked. Changed and removed
-- lines are tested a row each, added ones once per statement; static statements, so their
-- plans are kept for the connection.
CREATE OR REPLACE FUNCTION ws_guard_wsdj_line() RETURNS trigger LANGUAGE plpgsql AS $f$
DECLARE
  checked boolean;
BEGIN
  IF TG_OP = 'INSERT' THEN
    checked := EXISTS (SELECT 1 FROM ws_added a JOIN wsdj h ON h.单据ID = a.单据ID
                        WHERE h.smark = '02');
  ELSE
    checked := EXISTS (SELECT 1 FROM wsdj h WHERE h.单据ID = OLD.单据ID AND h.smark = '02');
  END IF;
  IF checked AND NOT ws_server_may('owner') THEN
    RAISE EXCEPTION '维修单已审核，不能改动它的明细：请先弃审'
      USING ERRCODE = 'insufficient_privilege';
  END IF;
  RETURN CASE WHEN TG_OP = 'INSERT' THEN NULL ELSE OLD END;
END $f$;
CREATE OR REPLACE FUNCTION ws_guard_jxcdj_line() RETURNS trigger LANGUAGE plpgsql AS $f$
DECLARE
  checked boolean;
BEGIN
  IF TG_OP = 'INSERT' THEN
    checked := EXISTS (SELECT 1 FROM ws_added a JOIN jxcdj h ON h.单据ID = a.单据ID
                        WHERE h.smark = '02');
  ELSE
    checked := EXISTS (SELECT 1 FROM jxcdj h WHERE h.单据ID = OLD.单据ID AND h.smark = '02');
  END IF;
  IF checked AND NOT ws_server_may('owner') THEN
    RAISE EXCEPTION '领料单已审核，不能改动它的明细：请先弃审'
      USING ERRCODE = 'insufficient_privilege';
  END IF;
  RETURN CASE WHEN TG_OP = 'INSERT' THEN NULL ELSE OLD END;
END $f$;

-- The id and number counters are written by every desk in its own statements (one upsert per
-- save, the same on both engines), so the server keeps them monotonic with a bounded step
-- instead of taking the writes into a function: none goes back (which would hand out taken
-- ids), none leaps towards the end of its range, no key is renamed. The owner and managers
-- (imports, repairs) are not bound. The update and number triggers' WHEN clauses hold the
-- same bounds (ws_server_install), so a step forward calls no function; the function decides
-- what the clauses cannot (a new id counter against its table's highest key).
CREATE OR REPLACE FUNCTION ws_guard_counter() RETURNS trigger LANGUAGE plpgsql AS $f$
DECLARE
  step CONSTANT bigint := 10000000;
  newest bigint;
  refused boolean := false;
BEGIN
  -- Tested inline and first: the owner's side (tools, a single-user shop) skips the lookup.
  IF ws_server_may('manage') THEN
    RETURN NEW;
  END IF;
  IF TG_TABLE_NAME = 'ws_id' THEN
    IF TG_OP = 'UPDATE' THEN
      refused := (NEW.table_name, NEW.key_column) IS DISTINCT FROM (OLD.table_name, OLD.key_column)
                 OR NEW.last_id < OLD.last_id OR NEW.last_id > OLD.last_id + step;
    ELSIF NOT EXISTS (SELECT 1 FROM ws_id WHERE table_name = NEW.table_name
                                          AND key_column = NEW.key_column) THEN
      -- A new counter starts from its table's highest key.
      EXECUTE pg_catalog.format('SELECT COALESCE(MAX(%I), 0) FROM %I',
                                pg_catalog.lower(NEW.key_column), pg_catalog.lower(NEW.table_name))
        INTO newest;
      refused := NEW.last_id < newest OR NEW.last_id > newest + step;
    END IF;
    IF refused THEN
      RAISE EXCEPTION '编号计数器只能由程序向前推进，不能改回或跳过' USING ERRCODE = 'insufficient_privilege';
    END IF;
  ELSE
    IF TG_OP = 'UPDATE' THEN
      refused := (NEW.progid, NEW.prefix) IS DISTINCT FROM (OLD.progid, OLD.prefix)
                 OR NEW.last_no < OLD.last_no OR NEW.last_no > OLD.last_no + step;
    ELSE
      refused := NEW.last_no < 0 OR NEW.last_no > step;
    END IF;
    IF refused THEN
      RAISE EXCEPTION '单据编号计数器只能由程序向前推进，不能改回或跳过' USING ERRCODE = 'insufficient_privilege';
    END IF;
  END IF;
  RETURN NEW;
END $f$;

-- An event is the connection's login's: an account cannot write one in another's name. Only the
-- owner's side (the shop's maker running tools, a shop without accounts) names the user itself.
CREATE OR REPLACE FUNCTION ws_audit_author() RETURNS trigger LANGUAGE plpgsql AS $f$
BEGIN
  IF NOT pg_catalog.pg_has_role(session_user, ws_server_group('owner'), 'USAGE') THEN
    NEW.用户 := session_user;
  END IF;
  RETURN NEW;
END $f$;

-- Password hashes are read by no account: a login asks for the hash's settings (algorithm,
-- cost, salt: what a client needs to hash the typed password the same way) and then whether
-- its hash matches the stored one.
CREATE OR REPLACE FUNCTION ws_account_salt(account text) RETURNS text LANGUAGE sql STABLE
SECURITY DEFINER AS $f$
  SELECT pg_catalog.regexp_replace(pw_hash, '[$][^$]*$', '') FROM ws_account
   WHERE user_name = account AND pw_hash <> '' $f$;
CREATE OR REPLACE FUNCTION ws_account_verify(account text, hash text) RETURNS integer
LANGUAGE sql STABLE SECURITY DEFINER AS $f$
  SELECT COUNT(*)::integer FROM ws_account
   WHERE user_name = account AND pw_hash = hash AND pw_hash <> '' AND active = 1 $f$;

-- A technician's tablet clocks its own technician only: the record's employee must be the one
-- whose card names the connection's login. The desk's clerks (录入) correct anyone's times.
CREATE OR REPLACE FUNCTION ws_guard_clock() RETURNS trigger LANGUAGE plpgsql AS $f$
BEGIN
  IF NOT ws_server_may('enter') AND NOT EXISTS (
       SELECT 1 FROM pdmgy WHERE 雇员ID = NEW.雇员ID AND 登录账号 = session_user::text
                             AND 是否技师 = 1)
     OR (TG_OP = 'UPDATE' AND NEW.雇员ID IS DISTINCT FROM OLD.雇员ID
         AND NOT ws_server_may('enter')) THEN
    RAISE EXCEPTION '只能为自己开工、暂停或完工' USING ERRCODE = 'insufficient_privilege';
  END IF;
  RETURN NEW;
END $f$;

CREATE OR REPLACE FUNCTION ws_server_install() RETURNS void LANGUAGE plpgsql AS $f$
DECLARE
  g text;
  t text;
  f regprocedure;
  s text := current_schema();
  owner text := ws_server_group('owner');
  desk text := ws_server_group('desk');
  manage text := ws_server_group('manage');
BEGIN
  FOREACH g IN ARRAY ARRAY['owner', 'desk', 'enter', 'check', 'receive', 'manage', 'floor'] LOOP
    BEGIN
      EXECUTE format('CREATE ROLE %I NOLOGIN', ws_server_group(g));
    EXCEPTION WHEN duplicate_object OR unique_violation THEN
      NULL;
    END;
  END LOOP;
  IF NOT EXISTS (SELECT 1 FROM pg_roles r WHERE r.rolname = current_user AND r.rolsuper) THEN
    EXECUTE format('GRANT %I TO %I', owner, current_user);
  END IF;
  -- A manager restores the shop as its owner (SET ROLE), and has none of the owner's rights
  -- otherwise.
  EXECUTE format('ALTER ROLE %I NOINHERIT', manage);
  EXECUTE format('GRANT %I TO %I', owner, manage);
  FOR t IN SELECT tablename FROM pg_tables WHERE schemaname = s LOOP
    EXECUTE format('ALTER TABLE %I.%I OWNER TO %I', s, t, owner);
    EXECUTE format('REVOKE ALL ON %I.%I FROM PUBLIC', s, t);
    EXECUTE format('GRANT SELECT ON %I.%I TO %I', s, t, desk);
    EXECUTE format('GRANT INSERT, UPDATE, DELETE ON %I.%I TO %I', s, t, manage);
  END LOOP;
  -- The functions too, all but the one that makes logins (it must keep running as a role that
  -- may create roles): a manager's restore runs as the owner role and replaces each of them.
  FOR f IN SELECT p.oid::regprocedure FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace
            WHERE n.nspname = s AND p.proname <> 'ws_server_login' LOOP
    EXECUTE format('ALTER FUNCTION %s OWNER TO %I', f, owner);
  END LOOP;
  -- The owner role too: the summaries' functions run as it, and a restore (as the owner role)
  -- makes the shop's objects anew in the schema.
  EXECUTE format('GRANT USAGE ON SCHEMA %I TO %I', s, desk);
  EXECUTE format('GRANT USAGE, CREATE ON SCHEMA %I TO %I', s, owner);
  -- Counters (guarded by ws_guard_counter), per-user settings and the lists' counts: every
  -- account.
  FOREACH t IN ARRAY ARRAY['ws_id', 'ws_billno', 'ws_user_setting', 'ws_list_count'] LOOP
    IF to_regclass(format('%I.%I', s, t)) IS NOT NULL THEN
      EXECUTE format('GRANT INSERT, UPDATE ON %I.%I TO %I', s, t, desk);
    END IF;
  END LOOP;
  -- The summaries are written only by the triggers that keep them: their functions run as the
  -- owner (SECURITY DEFINER, on the shop's schema only), and no group writes them directly.
  FOREACH t IN ARRAY ARRAY['ws_price_sum', 'ws_last_service', 'ws_vehicle_span', 'ws_unsettled',
                           'ws_change_block', 'ws_server_account'] LOOP
    IF to_regclass(format('%I.%I', s, t)) IS NOT NULL THEN
      EXECUTE format('REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON %I.%I FROM %I, %I', s, t, desk,
                     manage);
    END IF;
  END LOOP;
  FOR f IN SELECT p.oid::regprocedure FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace
            WHERE n.nspname = s AND p.prorettype = 'trigger'::regtype
              AND (p.proname LIKE 'ws\_change\_%' OR p.proname LIKE 'ws\_last\_%'
                   OR p.proname LIKE 'ws\_price\_%' OR p.proname LIKE 'ws\_unsettled\_%') LOOP
    EXECUTE format('ALTER FUNCTION %s OWNER TO %I', f, owner);
    EXECUTE format('ALTER FUNCTION %s SECURITY DEFINER SET search_path = %I, pg_temp', f, s);
  END LOOP;
  -- Nobody reads a password hash but the two functions that verify one.
  EXECUTE format('REVOKE SELECT ON %I.ws_account FROM %I', s, desk);
  EXECUTE format('GRANT SELECT (user_name, role, active) ON %I.ws_account TO %I', s, desk);
  FOREACH t IN ARRAY ARRAY['ws_account_salt(text)', 'ws_account_verify(text, text)'] LOOP
    EXECUTE format('ALTER FUNCTION %I.%s OWNER TO %I', s, t, owner);
    EXECUTE format('ALTER FUNCTION %I.%s SET search_path = %I, pg_temp', s, t, s);
    EXECUTE format('REVOKE ALL ON FUNCTION %I.%s FROM PUBLIC', s, t);
    EXECUTE format('GRANT EXECUTE ON FUNCTION %I.%s TO %I', s, t, desk);
  END LOOP;
  -- The audit trail: every account appends the events of its own work under its own name, and
  -- no group, the managers' included, may change or remove one.
  IF to_regclass(format('%I.ws_audit', s)) IS NOT NULL THEN
    EXECUTE format('GRANT INSERT ON %I.ws_audit TO %I', s, desk);
    EXECUTE format('REVOKE UPDATE, DELETE, TRUNCATE ON %I.ws_audit FROM %I', s, manage);
    EXECUTE format('DROP TRIGGER IF EXISTS ws_audit_author ON %I.ws_audit', s);
    -- An account's login is its name, so an event already naming its login calls nothing.
    EXECUTE format('CREATE TRIGGER ws_audit_author BEFORE INSERT ON %I.ws_audit FOR EACH ROW '
                   'WHEN (NEW.用户 IS DISTINCT FROM session_user::text) '
                   'EXECUTE FUNCTION %I.ws_audit_author()', s, s);
  END IF;
  FOREACH t IN ARRAY ARRAY['wsdj', 'wsdjxm', 'wsdjpj', 'clzl', 'jxcdj', 'jxcdjmx'] LOOP
    EXECUTE format('GRANT INSERT, UPDATE, DELETE ON %I.%I TO %I', s, t, ws_server_group('enter'));
  END LOOP;
  -- The counter enters a walk-in customer and corrects one; deleting a customer is 管理's.
  FOREACH t IN ARRAY ARRAY['pdmwldw', 'pdmwldwjs'] LOOP
    EXECUTE format('GRANT INSERT, UPDATE ON %I.%I TO %I', s, t, ws_server_group('enter'));
  END LOOP;
  -- A check writes the status of its document and the order's parts cost, and posts the
  -- stock journal.
  FOREACH t IN ARRAY ARRAY['wsdj', 'jxcdj'] LOOP
    EXECUTE format('GRANT UPDATE ON %I.%I TO %I', s, t, ws_server_group('check'));
  END LOOP;
  FOREACH t IN ARRAY ARRAY['jxcgoodslist', 'jxcgoodszztz'] LOOP
    EXECUTE format('GRANT INSERT, UPDATE, DELETE ON %I.%I TO %I', s, t, ws_server_group('check'));
  END LOOP;
  FOREACH t IN ARRAY ARRAY['arpreceive', 'arpreceivemx', 'arpreceive_fy', 'arpreceive_xm',
                           'arpreceive_pj', 'gl_accvouch'] LOOP
    EXECUTE format('GRANT INSERT, UPDATE, DELETE ON %I.%I TO %I', s, t,
                   ws_server_group('receive'));
  END LOOP;
  EXECUTE format('GRANT UPDATE ON %I.wsdj TO %I', s, ws_server_group('receive'));
  -- The workshop: the desk's clerks dispatch and record the customers' answers, the checkers
  -- pass finished lines.
  FOREACH t IN ARRAY ARRAY['ws_job', 'ws_job_tech', 'ws_clock', 'ws_finding', 'ws_finding_photo',
                           'ws_suggestion'] LOOP
    IF to_regclass(format('%I.%I', s, t)) IS NOT NULL THEN
      EXECUTE format('GRANT INSERT, UPDATE, DELETE ON %I.%I TO %I', s, t, ws_server_group('enter'));
    END IF;
  END LOOP;
  IF to_regclass(format('%I.ws_job', s)) IS NOT NULL THEN
    EXECUTE format('GRANT INSERT, UPDATE ON %I.ws_job TO %I', s, ws_server_group('check'));
  END IF;
  -- The commission rules are the technicians' pay: only the managers read them (and so only
  -- they can work out what anyone earned).
  IF to_regclass(format('%I.ws_commission_rule', s)) IS NOT NULL THEN
    EXECUTE format('REVOKE SELECT ON %I.ws_commission_rule FROM %I', s, desk);
    EXECUTE format('GRANT SELECT ON %I.ws_commission_rule TO %I', s, manage);
  END IF;
  -- The floor's tablets (车间) read the shop without its money: an account holding only that
  -- right is no member of the desk group, and its own group reads the orders, their labour
  -- lines and the repair items column by column, never a price, an amount, a settlement or the
  -- ledger. It clocks, examines and takes ids; whose clock a record is the guard below decides.
  g := ws_server_group('floor');
  EXECUTE format('GRANT USAGE ON SCHEMA %I TO %I', s, g);
  FOREACH t IN ARRAY ARRAY['clzl', 'pdmgy', 'pdmwxfl', 'ws_meta', 'ws_role_right', 'ws_id',
                           'ws_job', 'ws_job_tech', 'ws_clock', 'ws_check_item', 'ws_finding',
                           'ws_finding_photo', 'ws_suggestion'] LOOP
    IF to_regclass(format('%I.%I', s, t)) IS NOT NULL THEN
      EXECUTE format('GRANT SELECT ON %I.%I TO %I', s, t, g);
    END IF;
  END LOOP;
  EXECUTE format('GRANT SELECT (单据ID, progid, smark, 系统, 工单号码, 车主ID, 车辆ID, 进厂日期, '
                 '出厂日期, 送修人, 公里数, 维修分类, 维修分类ID, 接待人, 备注) ON %I.wsdj TO %I',
                 s, g);
  EXECUTE format('GRANT SELECT (单据明细ID, 单据ID, 项目ID, 数量, 说明) ON %I.wsdjxm TO %I', s, g);
  IF to_regclass(format('%I.ws_job', s)) IS NOT NULL THEN
    EXECUTE format('GRANT SELECT (AutoID, 编码, 维修项目, 项目属性, 保养月数, 保养公里, 工时) '
                   'ON %I.pdmwxxm TO %I', s, g);
    FOREACH t IN ARRAY ARRAY['ws_job', 'ws_clock', 'ws_finding', 'ws_finding_photo',
                             'ws_suggestion'] LOOP
      EXECUTE format('GRANT INSERT, UPDATE ON %I.%I TO %I', s, t, g);
    END LOOP;
    EXECUTE format('GRANT DELETE ON %I.ws_suggestion TO %I', s, g);
    EXECUTE format('GRANT INSERT, UPDATE ON %I.ws_id TO %I', s, g);
    EXECUTE format('GRANT SELECT (user_name, role, active) ON %I.ws_account TO %I', s, g);
    FOREACH t IN ARRAY ARRAY['ws_account_salt(text)', 'ws_account_verify(text, text)'] LOOP
      EXECUTE format('GRANT EXECUTE ON FUNCTION %I.%s TO %I', s, t, g);
    END LOOP;
    EXECUTE format('DROP TRIGGER IF EXISTS ws_guard ON %I.ws_clock', s);
    EXECUTE format('CREATE TRIGGER ws_guard BEFORE INSERT OR UPDATE ON %I.ws_clock FOR EACH ROW '
                   'EXECUTE FUNCTION %I.ws_guard_clock()', s, s);
  END IF;
  -- The guards. Made anew each time: a restore or an upgrade may have left older ones. A WHEN
  -- clause names what its function tests first, so a write that moves no guarded column of an
  -- unchecked row calls nothing (the check's update of its order's parts cost, for one).
  FOREACH t IN ARRAY ARRAY['wsdj', 'jxcdj'] LOOP
    EXECUTE format('DROP TRIGGER IF EXISTS ws_guard ON %I.%I', s, t);
    EXECUTE format('DROP TRIGGER IF EXISTS ws_guard_ins ON %I.%I', s, t);
    EXECUTE format('DROP TRIGGER IF EXISTS ws_guard_upd ON %I.%I', s, t);
    EXECUTE format('CREATE TRIGGER ws_guard BEFORE DELETE ON %I.%I FOR EACH ROW '
                   'EXECUTE FUNCTION %I.ws_guard_%s()', s, t, s, t);
  END LOOP;
  EXECUTE format('CREATE TRIGGER ws_guard_ins BEFORE INSERT ON %I.wsdj FOR EACH ROW WHEN '
                 '(NEW.smark = ''02'' OR COALESCE(NEW.总金额, 0) <> 0 '
                 'OR COALESCE(NEW.现收金额, 0) <> 0 OR COALESCE(NEW.补收金额, 0) <> 0 '
                 'OR COALESCE(NEW.扣零金额, 0) <> 0 OR COALESCE(NEW.扣减金额, 0) <> 0 '
                 'OR COALESCE(NEW.余额, 0) <> 0) EXECUTE FUNCTION %I.ws_guard_wsdj()', s, s);
  EXECUTE format('CREATE TRIGGER ws_guard_upd BEFORE UPDATE ON %I.wsdj FOR EACH ROW WHEN '
                 '(OLD.smark = ''02'' OR (NEW.smark, NEW.审核人, NEW.审核日期, NEW.总金额, '
                 'NEW.现收金额, NEW.补收金额, NEW.扣零金额, NEW.扣减金额, NEW.余额) IS DISTINCT '
                 'FROM (OLD.smark, OLD.审核人, OLD.审核日期, OLD.总金额, OLD.现收金额, '
                 'OLD.补收金额, OLD.扣零金额, OLD.扣减金额, OLD.余额)) '
                 'EXECUTE FUNCTION %I.ws_guard_wsdj()', s, s);
  EXECUTE format('CREATE TRIGGER ws_guard_ins BEFORE INSERT ON %I.jxcdj FOR EACH ROW WHEN '
                 '(NEW.smark = ''02'') EXECUTE FUNCTION %I.ws_guard_jxcdj()', s, s);
  EXECUTE format('CREATE TRIGGER ws_guard_upd BEFORE UPDATE ON %I.jxcdj FOR EACH ROW WHEN '
                 '(OLD.smark = ''02'' OR (NEW.smark, NEW.仓库审核, NEW.审核日期) IS DISTINCT '
                 'FROM (OLD.smark, OLD.仓库审核, OLD.审核日期)) '
                 'EXECUTE FUNCTION %I.ws_guard_jxcdj()', s, s);
  EXECUTE format('DROP TRIGGER IF EXISTS ws_guard ON %I.arpreceive', s);
  EXECUTE format('CREATE TRIGGER ws_guard BEFORE DELETE ON %I.arpreceive FOR EACH ROW '
                 'WHEN (OLD.smark = ''02'') EXECUTE FUNCTION %I.ws_guard_arpreceive()', s, s);
  FOREACH t IN ARRAY ARRAY['wsdjxm:wsdj', 'wsdjpj:wsdj', 'jxcdjmx:jxcdj'] LOOP
    EXECUTE format('DROP TRIGGER IF EXISTS ws_guard ON %I.%I', s, split_part(t, ':', 1));
    EXECUTE format('DROP TRIGGER IF EXISTS ws_guard_add ON %I.%I', s, split_part(t, ':', 1));
    EXECUTE format('CREATE TRIGGER ws_guard BEFORE UPDATE OR DELETE ON %I.%I FOR EACH ROW '
                   'EXECUTE FUNCTION %I.ws_guard_%s_line()', s, split_part(t, ':', 1), s,
                   split_part(t, ':', 2));
    EXECUTE format('CREATE TRIGGER ws_guard_add AFTER INSERT ON %I.%I REFERENCING NEW TABLE AS '
                   'ws_added FOR EACH STATEMENT EXECUTE FUNCTION %I.ws_guard_%s_line()',
                   s, split_part(t, ':', 1), s, split_part(t, ':', 2));
  END LOOP;
  FOREACH t IN ARRAY ARRAY['ws_id', 'ws_billno'] LOOP
    EXECUTE format('DROP TRIGGER IF EXISTS ws_guard ON %I.%I', s, t);
    EXECUTE format('DROP TRIGGER IF EXISTS ws_guard_upd ON %I.%I', s, t);
  END LOOP;
  EXECUTE format('CREATE TRIGGER ws_guard BEFORE INSERT ON %I.ws_id FOR EACH ROW '
                 'EXECUTE FUNCTION %I.ws_guard_counter()', s, s);
  EXECUTE format('CREATE TRIGGER ws_guard_upd BEFORE UPDATE ON %I.ws_id FOR EACH ROW WHEN '
                 '((NEW.table_name, NEW.key_column) IS DISTINCT FROM (OLD.table_name, '
                 'OLD.key_column) OR NEW.last_id < OLD.last_id '
                 'OR NEW.last_id > OLD.last_id + 10000000) '
                 'EXECUTE FUNCTION %I.ws_guard_counter()', s, s);
  EXECUTE format('CREATE TRIGGER ws_guard BEFORE INSERT ON %I.ws_billno FOR EACH ROW WHEN '
                 '(NEW.last_no < 0 OR NEW.last_no > 10000000) '
                 'EXECUTE FUNCTION %I.ws_guard_counter()', s, s);
  EXECUTE format('CREATE TRIGGER ws_guard_upd BEFORE UPDATE ON %I.ws_billno FOR EACH ROW WHEN '
                 '((NEW.progid, NEW.prefix) IS DISTINCT FROM (OLD.progid, OLD.prefix) '
                 'OR NEW.last_no < OLD.last_no OR NEW.last_no > OLD.last_no + 10000000) '
                 'EXECUTE FUNCTION %I.ws_guard_counter()', s, s);
  -- Accounts made before the shop kept its list of logins.
  INSERT INTO ws_server_account (login)
  SELECT a.user_name FROM ws_account a JOIN pg_roles r ON r.rolname = a.user_name
   WHERE NOT r.rolsuper AND NOT r.rolcreaterole AND r.rolname <> ALL (ARRAY[owner, desk, manage])
     AND pg_has_role(r.rolname, desk, 'MEMBER')
  ON CONFLICT DO NOTHING;
  EXECUTE format('ALTER FUNCTION %I.ws_server_login(text, text, text, integer) SET search_path = '
                 '%I, pg_temp', s, s);
  EXECUTE format('GRANT EXECUTE ON FUNCTION %I.ws_server_login(text, text, text, integer) TO %I',
                 s, manage);
  INSERT INTO ws_meta (key, value) VALUES ('server_rights', '@RULES_VERSION@')
  ON CONFLICT (key) DO UPDATE SET value = excluded.value;
END $f$;

-- Runs as its owner (a role that may create roles), called by the owner's accounts. It acts
-- only on logins this shop made: never on a superuser, a group role or another shop's login.
CREATE OR REPLACE FUNCTION ws_server_login(account text, verifier text, rights text,
                                           active integer)
RETURNS void LANGUAGE plpgsql SECURITY DEFINER AS $f$
DECLARE
  g text;
BEGIN
  -- Two managers making one login at once would fail on the catalogue row; the second waits.
  PERFORM pg_catalog.pg_advisory_xact_lock(pg_catalog.hashtext('ws_server_login:' || account));
  IF NOT EXISTS (SELECT 1 FROM ws_server_account WHERE login = account) THEN
    IF EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = account) THEN
      RAISE EXCEPTION '服务器上已有角色“%”，它不是本店建立的登录，本店不能用它作账户，也不能改动它', account
        USING ERRCODE = 'insufficient_privilege';
    END IF;
    EXECUTE pg_catalog.format('CREATE ROLE %I NOLOGIN', account);
    INSERT INTO ws_server_account (login) VALUES (account);
  END IF;
  EXECUTE pg_catalog.format('ALTER ROLE %I %s', account,
                            CASE WHEN active <> 0 THEN 'LOGIN' ELSE 'NOLOGIN' END);
  IF verifier <> '' THEN
    EXECUTE pg_catalog.format('ALTER ROLE %I PASSWORD %L', account, verifier);
  END IF;
  -- An account of the floor alone reads only what the floor's group grants.
  IF pg_catalog.string_to_array(rights, ',') <@ ARRAY['floor'] AND rights <> '' THEN
    EXECUTE pg_catalog.format('REVOKE %I FROM %I', ws_server_group('desk'), account);
  ELSE
    EXECUTE pg_catalog.format('GRANT %I TO %I', ws_server_group('desk'), account);
  END IF;
  FOREACH g IN ARRAY ARRAY['enter', 'check', 'receive', 'manage', 'floor'] LOOP
    IF g = ANY (pg_catalog.string_to_array(rights, ',')) THEN
      EXECUTE pg_catalog.format('GRANT %I TO %I', ws_server_group(g), account);
    ELSE
      EXECUTE pg_catalog.format('REVOKE %I FROM %I', ws_server_group(g), account);
    END IF;
  END LOOP;
END $f$;
REVOKE ALL ON FUNCTION ws_server_login(text, text, text, integer) FROM PUBLIC;

SELECT ws_server_install();
)sql";

}  // namespace

std::string ServerGroupOf(const std::string& rightName) {
  if (rightName == "录入") return "enter";
  if (rightName == "审核") return "check";
  if (rightName == "收款") return "receive";
  if (rightName == "管理") return "manage";
  if (rightName == "车间") return "floor";
  return {};
}

std::string ServerLogins::Install() {
  // The rules record the version the check compares with, written once above.
  std::string script = kInstall;
  constexpr std::string_view kVersionMark = "@RULES_VERSION@";
  script.replace(script.find(kVersionMark), kVersionMark.size(), kRulesVersion);
  return db_.ExecScript(script).Error();
}

std::string ServerLogins::ConnectedLogin() {
  return db::Runner(db_).ScalarText(db::Sql("SELECT session_user"));
}

bool ServerLogins::Installed(std::string* error) {
  std::string readError;
  const int64_t found =
      db::Runner(db_)
          .Scalar(db::Sql("SELECT COUNT(*) FROM pg_proc p JOIN pg_namespace n ON n.oid = "
                          "p.pronamespace WHERE p.proname = 'ws_server_login' AND n.nspname = "
                          "current_schema()"),
                  &readError)
          .ToLong();
  if (error) *error = readError;
  return found > 0;
}

bool ServerLogins::Current(std::string* error) {
  if (!Installed(error) || (error && !error->empty())) return false;
  std::string readError;
  const std::string version = db::Runner(db_).ScalarText(
      db::Sql("SELECT value FROM ws_meta WHERE key = ").Text("server_rights"), &readError);
  if (error) *error = readError;
  return version == kRulesVersion;
}

std::string ServerLogins::Sync(const std::string& account,
                               const std::optional<std::string>& password,
                               const std::string& rights, bool active) {
  std::string verifier;
  if (password) {
    char* made =
        PQencryptPasswordConn(db_.Handle(), password->c_str(), account.c_str(), "scram-sha-256");
    if (!made)
      return "无法为服务器登录生成密码校验值：" + std::string(PQerrorMessage(db_.Handle()));
    verifier = made;
    PQfreemem(made);
  }
  db::Sql sql("SELECT ws_server_login(");
  sql.Text(account).Raw(", ").Text(verifier).Raw(", ").Text(rights).Raw(", ").Key(active ? 1 : 0);
  sql.Raw(")");
  std::string error;
  db::Runner(db_).Scalar(sql, &error);
  return error;
}

}  // namespace ws::platform
