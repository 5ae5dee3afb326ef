#!/usr/bin/env python3
"""Puts a morning's work on the floor of a demo shop, for the desk's gallery of the floor.

The newest open orders get their labour lines dispatched to the demo's first employees (made
technicians), one line running on the clock since a while ago, one paused for parts, one finished,
the rest waiting; the newest order gets an examination on a checklist of ten items with two
suggested lines and a photo in the shop's photo folder ("<shop>.photos", as `ws serve` keeps it).
Times are the wall clock's, as the tablets record them.

Usage: floor_seed.py SHOP.db
"""
import datetime
import os
import sqlite3
import struct
import sys
import zlib

CHECKLIST = [("机油液位", "发动机"), ("冷却液", "发动机"), ("刹车片", "制动"), ("刹车油", "制动"),
             ("轮胎", "行走"), ("减震器", "行走"), ("灯光", "电器"), ("蓄电池", "电器"),
             ("雨刮", "车身"), ("空调滤芯", "空调")]


def png(width, height):
    """A gradient standing in for a technician's photo."""
    raw = b"".join(b"\x00" + b"".join(bytes((x * 255 // width, y * 255 // height, 140))
                                      for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) +
            chunk(b"IEND", b""))


def main(shop):
    now = datetime.datetime.now()
    at = lambda minutes: (now - datetime.timedelta(minutes=minutes)).strftime("%Y-%m-%d %H:%M:%S")
    db = sqlite3.connect(shop)
    techs = [r[0] for r in db.execute("select 雇员ID from PDMGY order by 雇员ID limit 4")]
    db.executemany("update PDMGY set 是否技师 = 1 where 雇员ID = ?", [(t,) for t in techs])
    # The demo's repair items have no standard hours yet: half an hour to three.
    db.execute("update PDMWXXM set 工时 = 0.5 + (AutoID % 6) * 0.5 where 工时 = 0")
    # The demo has a floor of its own (its checklist, and the last weeks dispatched and
    # examined): the morning goes on after it, on orders the demo left untouched.
    last = lambda table, key: db.execute(f"select coalesce(max({key}), 0) from {table}").fetchone()[0]
    if last("ws_check_item", "项目ID") == 0:
        db.executemany("insert into ws_check_item (项目ID,序号,名称,分组,停用) values (?,?,?,?,0)",
                       [(i + 1, i + 1, n, g) for i, (n, g) in enumerate(CHECKLIST)])
    items = dict(db.execute("select 名称, min(项目ID) from ws_check_item group by 名称"))
    lines = db.execute(
        "select x.单据明细ID, x.单据ID from WSDJXM x join WSDJ h on h.单据ID = x.单据ID "
        "where h.smark = '01' and not exists (select 1 from ws_job j where j.单据明细ID = x.单据明细ID) "
        "and not exists (select 1 from ws_job_tech t where t.单据明细ID = x.单据明细ID) "
        "order by h.进厂日期 desc, h.单据ID desc, x.单据明细ID limit 9").fetchall()
    plan = ["running", "running2", "paused", "done", "dispatched", None, None, None, None]
    tech_id = last("ws_job_tech", "派工ID")
    clock_id = last("ws_clock", "记录ID")
    finding_id = last("ws_finding", "检验ID")
    suggestion_id = last("ws_suggestion", "建议ID")
    photo_id = last("ws_finding_photo", "照片ID")
    for (line, order), what in zip(lines, plan):
        if what is None:
            continue
        who = techs[tech_id % len(techs)]
        tech_id += 1
        db.execute("insert into ws_job_tech (派工ID,单据明细ID,单据ID,雇员ID,计划工时,派工人,派工时间) "
                   "values (?,?,?,?,1.5,'张三',?)", (tech_id, line, order, who, at(180)))
        state, reason = {"running": ("在修", ""), "running2": ("在修", ""),
                         "paused": ("暂停", "等配件"), "done": ("完工", ""),
                         "dispatched": ("在修", "")}[what]
        db.execute("insert into ws_job (单据明细ID,单据ID,状态,原因,检验人,更新时间) "
                   "values (?,?,?,?,'',?)", (line, order, state, reason, at(10)))
        if what in ("paused", "done", "running"):
            clock_id += 1
            db.execute("insert into ws_clock (记录ID,雇员ID,单据明细ID,单据ID,开始时间,结束时间,工时,原因) "
                       "values (?,?,?,?,?,?,?,?)",
                       (clock_id, who, line, order, at(170), at(95), 1.25,
                        "等配件" if what == "paused" else ""))
        if what in ("running", "running2"):
            clock_id += 1
            db.execute("insert into ws_clock (记录ID,雇员ID,单据明细ID,单据ID,开始时间,结束时间) "
                       "values (?,?,?,?,?,'')", (clock_id, who, line, order,
                                                 at(85 if what == "running" else 25)))
    # The examination is of the board's first order, the newest open one, when nobody has
    # examined it yet.
    order = db.execute(
        "select h.单据ID from WSDJ h where h.smark = '01' and not exists "
        "(select 1 from ws_finding f where f.单据ID = h.单据ID) "
        "order by h.进厂日期 desc, h.单据ID desc limit 1").fetchone()[0]
    # Items both the demo's checklist and the one above have.
    findings = [("刹车片", "需维修", "前刹车片剩 2 毫米"), ("轮胎", "需维修", "左前胎侧面鼓包"),
                ("冷却液", "OK", ""), ("刹车油", "OK", ""), ("灯光", "注意", "右后尾灯灯罩有裂纹")]
    first_finding = finding_id + 1
    for item, verdict, note in findings:
        finding_id += 1
        db.execute("insert into ws_finding (检验ID,单据ID,项目ID,结果,说明,检验人,检验时间) "
                   "values (?,?,?,?,?,'张师傅',?)",
                   (finding_id, order, items[item], verdict, note, at(60)))
        if verdict == "需维修":
            suggestion_id += 1
            db.execute("insert into ws_suggestion (建议ID,单据ID,检验ID,说明,状态) "
                       "values (?,?,?,?,'建议')", (suggestion_id, order, finding_id, note))
    photos = shop + ".photos"
    os.makedirs(photos, exist_ok=True)
    name = "0123456789abcdef0123456789abcdef.png"
    with open(os.path.join(photos, name), "wb") as f:
        f.write(png(640, 480))
    photo_id += 1
    db.execute("insert into ws_finding_photo (照片ID,检验ID,文件名,类型,字节数,上传人,上传时间) "
               "values (?,?,?,'image/png',?,'zhang',?)",
               (photo_id, first_finding, name, os.path.getsize(os.path.join(photos, name)), at(58)))
    for table, key in [("ws_job_tech", "派工ID"), ("ws_clock", "记录ID"),
                       ("ws_check_item", "项目ID"), ("ws_finding", "检验ID"),
                       ("ws_suggestion", "建议ID"), ("ws_finding_photo", "照片ID")]:
        db.execute("insert into ws_id (table_name,key_column,last_id) values (?,?,?) "
                   "on conflict (table_name,key_column) do update "
                   "set last_id = max(last_id, excluded.last_id)",
                   (table, key, last(table, key)))
    db.commit()


if __name__ == "__main__":
    main(sys.argv[1])
