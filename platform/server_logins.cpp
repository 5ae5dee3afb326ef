#include "platform/server_logins.h"

#include <libpq-fe.h>

#include "db/runner.h"
#include "db/sql.h"
#include "platform/postgres_database.h"

namespace ws::platform {

namespace {

// Every name is built inside the server with format('%I'), so account names of any text (the
// documents record Chinese names) are quoted as identifiers there, and values stay bound.
constexpr const char* kInstall = R"sql(
CREATE OR REPLACE FUNCTION ws_server_group(word text) RETURNS text LANGUAGE sql STABLE AS
  $f$ SELECT left(current_database() || '_' || current_schema(), 48) || '_' || word $f$;

CREATE OR REPLACE FUNCTION ws_server_install() RETURNS void LANGUAGE plpgsql AS $f$
DECLARE
  g text;
  t text;
  s text := current_schema();
BEGIN
  FOREACH g IN ARRAY ARRAY['owner', 'desk', 'enter', 'check', 'receive', 'manage'] LOOP
    BEGIN
      EXECUTE format('CREATE ROLE %I NOLOGIN', ws_server_group(g));
    EXCEPTION WHEN duplicate_object OR unique_violation THEN
      NULL;
    END;
  END LOOP;
  IF NOT EXISTS (SELECT 1 FROM pg_roles r WHERE r.rolname = current_user AND r.rolsuper) THEN
    EXECUTE format('GRANT %I TO %I', ws_server_group('owner'), current_user);
  END IF;
  FOR t IN SELECT tablename FROM pg_tables WHERE schemaname = s LOOP
    EXECUTE format('ALTER TABLE %I.%I OWNER TO %I', s, t, ws_server_group('owner'));
    EXECUTE format('REVOKE ALL ON %I.%I FROM PUBLIC', s, t);
    EXECUTE format('GRANT SELECT ON %I.%I TO %I', s, t, ws_server_group('desk'));
    EXECUTE format('GRANT INSERT, UPDATE, DELETE ON %I.%I TO %I', s, t, ws_server_group('manage'));
  END LOOP;
  EXECUTE format('GRANT USAGE ON SCHEMA %I TO %I', s, ws_server_group('desk'));
  -- Counters, per-user settings, the change blocks the triggers keep and the lists' counts:
  -- every account.
  FOREACH t IN ARRAY ARRAY['ws_id', 'ws_billno', 'ws_user_setting', 'ws_change_block',
                           'ws_list_count'] LOOP
    IF to_regclass(format('%I.%I', s, t)) IS NOT NULL THEN
      EXECUTE format('GRANT INSERT, UPDATE ON %I.%I TO %I', s, t, ws_server_group('desk'));
    END IF;
  END LOOP;
  -- The price and last-service summaries follow every order and line written, by triggers of
  -- the writer.
  EXECUTE format('GRANT INSERT, UPDATE, DELETE ON %I.ws_price_sum TO %I', s,
                 ws_server_group('desk'));
  IF to_regclass(format('%I.ws_last_service', s)) IS NOT NULL THEN
    EXECUTE format('GRANT INSERT, UPDATE, DELETE ON %I.ws_last_service TO %I', s,
                   ws_server_group('desk'));
  END IF;
  -- The audit trail: every account appends the events of its own work, and no group, the
  -- managers' included, may change or remove one.
  IF to_regclass(format('%I.ws_audit', s)) IS NOT NULL THEN
    EXECUTE format('GRANT INSERT ON %I.ws_audit TO %I', s, ws_server_group('desk'));
    EXECUTE format('REVOKE UPDATE, DELETE, TRUNCATE ON %I.ws_audit FROM %I', s,
                   ws_server_group('manage'));
  END IF;
  FOREACH t IN ARRAY ARRAY['wsdj', 'wsdjxm', 'wsdjpj', 'clzl', 'jxcdj', 'jxcdjmx'] LOOP
    EXECUTE format('GRANT INSERT, UPDATE, DELETE ON %I.%I TO %I', s, t, ws_server_group('enter'));
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
  EXECUTE format('GRANT EXECUTE ON FUNCTION %I.ws_server_login(text, text, text, integer) TO %I',
                 s, ws_server_group('manage'));
END $f$;

-- Runs as its owner (a role that may create roles), called by the owner's accounts.
CREATE OR REPLACE FUNCTION ws_server_login(account text, verifier text, rights text,
                                           active integer)
RETURNS void LANGUAGE plpgsql SECURITY DEFINER AS $f$
DECLARE
  g text;
BEGIN
  -- Two shops changing one login at once would fail on the catalogue row; the second waits.
  PERFORM pg_catalog.pg_advisory_xact_lock(pg_catalog.hashtext('ws_server_login:' || account));
  -- Logins are the whole server's: the same person may already have one from another shop,
  -- or be made by a second owner at this moment.
  BEGIN
    EXECUTE pg_catalog.format('CREATE ROLE %I NOLOGIN', account);
  EXCEPTION WHEN duplicate_object OR unique_violation THEN
    NULL;
  END;
  EXECUTE pg_catalog.format('ALTER ROLE %I %s', account,
                            CASE WHEN active <> 0 THEN 'LOGIN' ELSE 'NOLOGIN' END);
  IF verifier <> '' THEN
    EXECUTE pg_catalog.format('ALTER ROLE %I PASSWORD %L', account, verifier);
  END IF;
  EXECUTE pg_catalog.format('GRANT %I TO %I', ws_server_group('desk'), account);
  FOREACH g IN ARRAY ARRAY['enter', 'check', 'receive', 'manage'] LOOP
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
  return {};
}

std::string ServerLogins::Install() {
  return db_.ExecScript(kInstall);
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
