#!/usr/bin/env python3
"""The sample auction service must serve what the program reads: EUC-JP pages
whose markers match byte for byte once a line is turned into Shift_JIS, dates
that parse, and My Auction pages that yield their links and entries."""

import contextlib
import datetime as dt
import io
import re
import socket
import sys
import threading
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "samples"))
import auction_service as service  # noqa: E402

NOW = dt.datetime(2024, 6, 15, 12, 0)
# Moments after the start the live pages are read at: the short auctions'
# bids and extended ends, the first bids on the long ones, all ended.
LATER_MINUTES = (0, 3, 6, 8, 12, 16, 20, 30, 60 * 24, 60 * 24 * 5)


def sj(text):
    return text.encode("cp932")


def euc_to_sjis(line):
    """The program's line conversion: JIS X 0208 arithmetic on byte pairs."""
    out, lead = bytearray(), None
    for b in line:
        if not 0xA1 <= b <= 0xFE:
            out.append(b)
        elif lead is None:
            lead = b
        else:
            h, lead = lead, None
            if h & 1:
                out += bytes(((h >> 1) + (0x31 if h < 0xDF else 0x71), b - (0x61 if b < 0xE0 else 0x60)))
            else:
                out += bytes(((h >> 1) + (0x30 if h < 0xDF else 0x70), b - 2))
    return bytes(out)


def sjis_lines(body):
    return [euc_to_sjis(line.rstrip(b"\r")) for line in body.split(b"\n")]


def cut(page, start, end, skip=0):
    at = page.find(start)
    if at < 0:
        return None
    begin = at + len(start) + skip
    stop = page.find(end, begin)
    return None if stop < 0 else page[begin:stop]


def parse_date(text):
    """month, day, hour, minute as the program reads them ("%d月%d日%d時%d分")."""
    m = re.match(sj(r" *(\d+)月 *(\d+)日 *(\d+)時 *(\d+)分"), text)
    return tuple(int(g) for g in m.groups()) if m else None


def stamp(t):
    return (t.month, t.day, t.hour, t.minute)


def read_bid_history(body):
    """The header fields and the bid log, cut with the program's markers."""
    lines = sjis_lines(body)
    page = b"".join(lines)
    fields = {
        "title": cut(page, sj("<TITLE>Yahoo!オークション - "), b"</TITLE>"),
        "start": cut(page, sj("<TR><TD>開始日時：</TD><TD>"), b"</TD>"),
        "end": cut(page, sj("<TR><TD>終了日時：</TD><TD>"), b"<a href"),
        "count": cut(page, sj("<TR><TD>入札件数：</TD><TD>"), b"<small>"),
        "price": cut(page, sj("<TR><TD>現在の価格：</TD>"), sj(" 円</b>"), len(b"<TD><b>")),
        "id": cut(page, sj("<TR><TD>オークションID：</TD><TD>"), b"</TD>"),
        "seller": cut(page, b"userID=", b'&"'),
        "buy": cut(page, sj("<TR><TD bgcolor=ffffcc><b>希望落札価格：</b></TD><TD bgcolor=ffffcc><b>"),
                   sj(" 円</b>")),
    }
    log, in_log = [], False
    for line in lines:
        if not in_log and sj("入札の記録") in line:
            in_log = True
        elif in_log and b"</center>" in line:
            in_log = False
        if in_log:
            for cell in re.findall(rb"<SMALL>(.*?)</SMALL>", line):
                bracket, last_space = cell.index(b"]"), cell.rindex(b" ")
                middle = cell[bracket + 2:last_space]
                log.append((parse_date(cell[1:bracket]), middle,
                            int(re.match(rb"\d+", cell[last_space + 1:].replace(b",", b"")).group())))
    return fields, log


class SamplePagesTest(unittest.TestCase):
    def setUp(self):
        self.auctions = service.build_auctions(NOW)

    def test_the_set_covers_the_cases_worth_showing(self):
        a = self.auctions
        self.assertGreaterEqual(len(a), 5)
        self.assertTrue(any(x.running(NOW) for x in a) and any(not x.running(NOW) for x in a))
        self.assertTrue(any(x.buy_now for x in a) and any(x.buy_now is None for x in a))
        self.assertTrue(any(200 <= len(x.bids) <= 1000 for x in a))
        self.assertTrue(any(x.buy_now == x.start_price for x in a))  # sold at the start price
        for x in a:
            self.assertTrue((service.PICTURES / f"{x.id}.jpg").is_file(), x.id)

    def test_bid_history_pages_give_every_field_and_bid(self):
        for minutes in LATER_MINUTES:
            now = NOW + dt.timedelta(minutes=minutes)
            for a in service.build_auctions(NOW, now):
                with self.subTest(a.id, minutes=minutes):
                    self.check_page(a, now)

    def check_page(self, a, now):
        body = service.bid_history_page(a).encode(service.ENCODING)
        body.decode("euc_jp", errors="strict")
        self.assertNotIn(b"\x8e", body)  # half-width kana: the program cannot convert them
        fields, log = read_bid_history(body)

        fields["start"], fields["end"] = parse_date(fields["start"]), parse_date(fields["end"])
        self.assertEqual(fields, {
            "title": sj(a.title), "start": stamp(a.start), "end": stamp(a.end),
            "count": str(len(a.bids)).encode(), "price": f"{a.price:,}".encode(),
            "id": a.id.encode(), "seller": a.seller.encode(),
            "buy": a.buy_now and f"{a.buy_now:,}".encode()})

        self.assertEqual(len(log), len(a.bids) + 1)
        self.assertEqual(log[-1], (stamp(a.start), sj("オークション開始。"), a.start_price))
        self.assertEqual(log[0][2], a.price)
        self.assertLessEqual(a.price, a.buy_now or a.price)
        for newer, older in zip(log, log[1:]):  # newest first
            self.assertGreaterEqual(newer[2], older[2])
            self.assertGreaterEqual(newer[0], older[0])
        for when, middle, _ in log[:-1]:
            self.assertIn(middle.split(b" ")[1], (sj("手動入札"), sj("自動入札")))
            self.assertLessEqual(when, stamp(min(now, a.end)))


class LiveTest(unittest.TestCase):
    """Bids keep arriving after the start; two auctions end minutes later."""

    def test_auctions_grow_by_bids_until_they_end(self):
        minute = dt.timedelta(minutes=1)
        for plan in service.plan_auctions(NOW):
            with self.subTest(plan.id):
                seen = [plan.as_of(NOW + m * minute) for m in LATER_MINUTES]
                for earlier, later in zip(seen, seen[1:]):  # the past stays as it was
                    self.assertEqual(later.bids[len(later.bids) - len(earlier.bids):], earlier.bids)
                    self.assertGreaterEqual(later.end, earlier.end)
                final = seen[-1]
                more, closing, extends = service.LATER.get(plan.id, (0, seen[0].price, False))
                more = more if isinstance(more, int) else len(more)  # or the minutes they come at
                self.assertEqual((len(final.bids) - len(seen[0].bids), final.price), (more, closing))
                self.assertEqual(final.end != plan.end, extends)
                for bid in final.bids:  # each came while the auction ran
                    self.assertLess(bid.time, plan.as_of(bid.time).end)
                if more:  # a fresh service shows a change within minutes
                    self.assertGreater(len(plan.as_of(NOW + 5 * minute).bids), len(seen[0].bids))

        ends = {a.id: a.end - NOW for a in service.build_auctions(NOW, NOW + dt.timedelta(days=9))}
        self.assertEqual(sorted(t for t in ends.values() if dt.timedelta(0) < t < dt.timedelta(hours=1)),
                         [15 * minute, 25 * minute])  # 10 and 20 minutes, each extended once


class SampleServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        service.Handler.quiet = True
        cls.service = service.Service(0, NOW)
        cls.thread = threading.Thread(target=cls.service.serve_forever, daemon=True)
        cls.thread.start()

    @classmethod
    def tearDownClass(cls):
        cls.service.shutdown()
        cls.service.server_close()

    def get(self, target, cookie=None):
        """Status line and body of one HTTP/1.0 exchange; the service closes."""
        with socket.create_connection(self.service.server_address, timeout=5) as s:
            request = f"GET {target} HTTP/1.0\r\n" + (f"Cookie: {cookie}\r\n" if cookie else "") + "\r\n"
            s.sendall(request.encode())
            reply = b""
            while chunk := s.recv(65536):
                reply += chunk
        head, _, body = reply.partition(b"\r\n\r\n")
        return head.split(b"\r\n")[0].decode(), body

    def test_serves_pages_and_pictures_one_per_connection(self):
        a = self.service.auctions["b63350217"]
        status, body = self.get("/jp/show/bid_hist?aID=b63350217&typ=log")
        self.assertEqual(status, "HTTP/1.0 200 OK")
        self.assertEqual(len(read_bid_history(body)[1]), len(a.bids) + 1)

        status, body = self.get("/jp/auction/b63350217")
        self.assertIn(sj(a.title), euc_to_sjis(body))
        status, body = self.get("/img/b63350217.jpg")
        self.assertTrue(body.startswith(b"\xff\xd8") and body.endswith(b"\xff\xd9"))

        for target in ("/jp/show/bid_hist?aID=x1&typ=log", "/img/../auction_service.py", "/"):
            self.assertIn(" 404 ", self.get(target)[0])

    def test_serves_a_page_as_it_stood_at_a_moment(self):
        market = service.plan_market(NOW)[0]
        moment = market.start + (market.end - market.start) / 2
        then = market.as_of(moment)
        self.assertLess(len(then.bids), len(market.bids))
        running = self.service.auctions["b63350217"]
        at = f"at={moment:%Y%m%d%H%M}"
        for aid, query, shown in [
            (market.id, at, then),
            (running.id, "at=203001010000", running),  # never the future
            (market.id, f"at={market.start - dt.timedelta(minutes=1):%Y%m%d%H%M}", None),  # not started
            (market.id, "at=today", None),
        ]:
            with self.subTest(query):
                status, body = self.get(f"/jp/show/bid_hist?aID={aid}&{query}&typ=log")
                self.assertEqual(status, "HTTP/1.0 404 Not Found" if shown is None else "HTTP/1.0 200 OK")
                if shown:
                    fields, log = read_bid_history(body)
                    self.assertEqual((len(log) - 1, fields["price"]), (len(shown.bids), f"{shown.price:,}".encode()))
        # the program's address for that page: the query follows the ID
        status, body = self.get(f"/jp/auction/{market.id}&{at}")
        self.assertIn(sj(f"{then.price:,} 円"), euc_to_sjis(body))

    def test_my_auction_needs_the_cookie_and_links_its_lists(self):
        _, body = self.get("/jp/show/mystatus")
        self.assertIn(sj("ログイン"), euc_to_sjis(body))
        self.assertNotIn(sj(service.TOP_HEADING), euc_to_sjis(body))

        lines = sjis_lines(self.get("/jp/show/mystatus", "B=x; Y=sample; T=y")[1])
        heading = lines.index(sj(service.TOP_HEADING))
        base = self.service.base
        links = {name: cut(line, b'<A HREF="', sj(f'">{name}</A>'))
                 for line in lines[heading + 1:] for name in ("ウォッチリスト", "入札中", "出品中", "落札", "終了分")
                 if sj(f'">{name}</A>') in line}
        self.assertEqual(len(links), 5)
        # The program asks for pictures by rewriting the link in place, which
        # leaves a blank in the target.
        watch = links["ウォッチリスト"].decode()
        self.assertIn("watchclosed=0&myaucpic=false&picsnum=20", watch)
        watch = watch.replace("myaucpic=false", "myaucpic=true ").replace(base, "")

        lines = sjis_lines(self.get(watch, "Y=sample")[1])
        start = lines.index(sj("<B>開催中のオークション</B>"))
        self.assertIn(sj("商品ID"), lines[start + 3])
        rows = lines[start + 4:lines.index(b"</TABLE>")]
        running = [a for a in self.service.auctions.values() if a.running(NOW)]
        self.assertEqual(len(rows), len(running))
        for row, a in zip(rows, running):  # picture link, then title link
            url = f"{base}/jp/auction/{a.id}"
            self.assertIn(f'><a href="{url}"><IMG BORDER=0 SRC="{base}/img/{a.id}.jpg" '.encode(), row)
            self.assertIn(f'><a href="{url}">'.encode() + sj(a.title) + b"</a>", row)

        self.assertNotIn(sj("商品ID"), euc_to_sjis(self.get(watch, "Y=other")[1]))


class MarketTest(unittest.TestCase):
    """Ended auctions of the running samples' items, for the market price."""

    def test_each_running_item_has_several_ended_auctions_served(self):
        market = service.build_market(NOW)
        running = [a for a in service.build_auctions(NOW) if a.running(NOW)]
        for a in running:
            # the market's IDs share the first letter of the item they price
            same = [m for m in market if m.id[0] == a.id[0]]
            self.assertGreaterEqual(len({m.price for m in same}), 4, a.id)
        ids = [m.id for m in market]
        self.assertEqual(len(set(ids)), len(ids))
        self.assertFalse(set(ids) & {a.id for a in service.build_auctions(NOW)})
        for m, row in zip(market, service.MARKET):
            with self.subTest(m.id):
                self.assertFalse(m.running(NOW))
                self.assertEqual(m.price, row[6])  # the closing price the README lists
                fields, log = read_bid_history(service.bid_history_page(m).encode(service.ENCODING))
                self.assertEqual(fields["title"], sj(m.title))
                self.assertEqual(len(log), len(m.bids) + 1)
                self.assertLess(stamp(m.bids[0].time), stamp(m.end))

        server = service.Service(0, NOW)
        self.addCleanup(server.server_close)
        self.assertTrue(set(ids) <= set(server.auctions))
        self.assertFalse(any(m.lists for m in market))  # never on a My Auction list


class ListOptionTest(unittest.TestCase):
    def test_prints_title_page_and_picture_per_auction(self):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            service.main(["--list", "--port", "9123"])
        lines = out.getvalue().splitlines()
        self.assertEqual(len(lines), len(service.SAMPLES))
        for line, sample in zip(lines, service.SAMPLES):
            self.assertEqual(line.split("\t"), [sample[1], f"http://127.0.0.1:9123/jp/auction/{sample[0]}",
                                                f"http://127.0.0.1:9123/img/{sample[0]}.jpg"])

    def test_ended_prints_title_and_page_per_market_auction(self):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            service.main(["--ended", "--port", "9123"])
        self.assertEqual([line.split("\t") for line in out.getvalue().splitlines()],
                         [[m[1], f"http://127.0.0.1:9123/jp/auction/{m[0]}"] for m in service.MARKET])

    def test_points_record_each_market_auction_per_quarter_then_ended_in_time_order(self):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            service.main(["--points", "--port", "9123", "--start", "2024-06-15 12:00"])
        points = [line.split("\t") for line in out.getvalue().splitlines()]
        self.assertEqual(points, sorted(points, key=lambda p: (p[0], p[2] == "running")))
        for m in service.plan_market(NOW):
            with self.subTest(m.id):
                mine = [p for p in points if f"/jp/auction/{m.id}" in p[1]]
                self.assertEqual([p[2] for p in mine], ["running"] * 4 + ["ended"])
                self.assertEqual(mine[-1][:2], [f"{m.end:%Y-%m-%d %H:%M}", f"http://127.0.0.1:9123/jp/auction/{m.id}"])
                quarters = []
                for when, address, _ in mine[:-1]:
                    self.assertTrue(address.endswith(f"&at={when.replace('-', '').replace(' ', '').replace(':', '')}"))
                    t = dt.datetime.strptime(when, "%Y-%m-%d %H:%M")
                    quarters.append(int(4 * (t - m.start) / (m.end - m.start)))
                self.assertEqual(quarters, [0, 1, 2, 3])


if __name__ == "__main__":
    unittest.main()
