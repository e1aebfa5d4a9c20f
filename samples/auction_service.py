#!/usr/bin/env python3
"""A sample auction service for trying Mirelo without the real one.

Serves a handful of auctions in the service's old EUC-JP page layout over
HTTP/1.0 on 127.0.0.1: bid-history pages, simple item pages, item pictures and
the My Auction pages (these need the login cookie Y=sample). Dates are relative
to the moment the service starts, so its running auctions are running then; bids
keep arriving on them and two end minutes after the start. A bid-history page
as it stood earlier is served with at=YYYYMMDDHHMM in the query.

    samples/auction_service.py [--port 8380]        serve until Ctrl+C
    samples/auction_service.py --list [--port 8380] print title, page and picture
                                                    address of each auction, tab-separated
    samples/auction_service.py --ended [--port 8380] print title and page address of
                                                    each ended auction of the market
    samples/auction_service.py --points [--port 8380] print when and which page to record
                                                    of each ended auction of the market
    --start "YYYY-MM-DD HH:MM"                      the moment dates count from (default now)
"""

import argparse
import dataclasses
import datetime as dt
import random
import re
import sys
import time
import urllib.parse
from dataclasses import dataclass, field
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

DEFAULT_PORT = 8380
HOST = "127.0.0.1"
LOGIN_COOKIE = "Y=sample"
USER = "sample_user"
PICTURES = Path(__file__).resolve().parent / "img"
ENCODING = "euc_jp"
# A bid this close to the end of an auction whose seller chose the automatic
# extension moves its end this much later, as on the real service.
EXTENSION = dt.timedelta(minutes=5)


@dataclass
class Bid:
    time: dt.datetime
    bidder: str
    mode: str
    price: int


@dataclass
class Auction:
    id: str
    title: str
    seller: str
    start: dt.datetime
    end: dt.datetime
    start_price: int
    buy_now: int | None
    bids: list[Bid] = field(default_factory=list)  # newest first
    lists: tuple[str, ...] = ()  # the My Auction lists that show it
    extends: bool = False  # automatic extension; end is then the scheduled one

    @property
    def price(self):
        return self.bids[0].price if self.bids else self.start_price

    def running(self, now):
        return now < self.end

    def as_of(self, when):
        """The auction as the service showed it at when: the bids made by then and
        the end they extended. None before its start."""
        if when < self.start:
            return None
        bids = [b for b in self.bids if b.time <= when]
        end = self.end
        if self.extends:
            for b in reversed(bids):
                if b.time >= end - EXTENSION:
                    end += EXTENSION
        return dataclasses.replace(self, bids=bids, end=end)


# id, title, seller, days since the start, length in days, start price,
# price and number of bids at the service's start, buy-it-now price, My Auction lists
SAMPLES = [
    ("e51122334", "ニコン D70 デジタル一眼レフ ボディ 元箱付き 美品", "kobe_camera",
     3, 5, 30000, 52500, None, 23, ("watch", "bidding")),
    ("g40018236", "任天堂 ゲームボーイアドバンスSP パールブルー 本体のみ", "game_shop_aoi",
     2, 3.25, 5000, 8400, 12000, 7, ("watch",)),
    ("b63350217", "ロレックス デイトジャスト 16234 自動巻き メンズ 1円スタート", "ginza_tokei",
     4, 7, 1, 386000, None, 312, ("watch", "bidding")),
    ("c27781540", "ハリー・ポッターと謎のプリンス 上下巻セット 初版 帯付き", USER,
     1, 5, 3800, 3800, 3800, 0, ("watch", "selling")),
    ("d19904472", "ソニー ウォークマン NW-E507 1GB ブラック 付属品完備", "audio_kan",
     8, 7, 3000, 9750, None, 18, ("watch",)),
    ("f88213095", "アップル iPod mini 4GB シルバー 充電器付き", "mac_tanaka",
     6, 5, 10000, 20000, 20000, 9, ("watch",)),
    ("a70452218", "トヨタ純正 アルミホイール 15インチ 4本セット 中古", "tire_hiroba",
     7.125, 7, 8000, 36500, None, 41, ("watch",)),
    # a third D70 running beside the two others, for the board's group of one model
    ("e51177001", "Nikon D70 デジタル一眼レフ ボディ ストラップ付き 動作良好", "kamera_nishi",
     1, 4, 25000, 41000, None, 12, ("watch",)),
    # these two end minutes after the start, for the watch board to follow
    ("e51190876", "ニコン D70 デジタル一眼レフ ボディ バッテリー・充電器付き", "camera_kita",
     5, 5 + 10 / 1440, 20000, 50500, None, 16, ("watch", "bidding")),
    ("g40025613", "ゲームボーイアドバンスSP 本体 オニキスブラック", "retro_plaza",
     3, 3 + 20 / 1440, 4000, 8000, None, 11, ("watch",)),
]

# The bids that arrive on running samples once the service runs: how many (or
# at which minutes after the start), the closing price they reach, and whether
# the seller chose the automatic extension. The short auctions' last bids come
# late enough for a watcher to see their ends move.
LATER = {
    "e51122334": (5, 58000, False),
    "g40018236": (5, 9750, False),
    "b63350217": (28, 431000, False),
    "e51177001": (4, 47000, False),
    "e51190876": ((2, 4, 7, 9), 56000, True),  # ends after 15 minutes, not 10
    "g40025613": ((3, 8, 13, 17), 9750, True),  # after 25, not 20
}

# Auctions of the same items that ended before the service starts: what the
# running samples' items sold for. Titles vary as sellers write them (brackets,
# marks, 美品, 送料無料, full-width model numbers); a few are other items that
# share words with them. Half-width kana are left out: the program's page
# conversion does not take them.
# id, title, seller, days since the end, length in days, start price,
# closing price, buy-it-now price, number of bids
MARKET = [
    # ニコン D70 (e51122334)
    ("e50318842", "【美品】ニコン D70 デジタル一眼レフ ボディ 元箱・説明書付き", "camera_yoshida",
     4, 7, 30000, 58000, None, 19),
    ("e50287713", "Nikon ニコン Ｄ７０ デジタル一眼レフ ボディのみ", "photo_kaido",
     9, 5, 1, 55500, None, 34),
    ("e50196605", "★ニコン D70 デジタル一眼レフ ボディ 送料無料★", "lens_ya",
     13, 7, 40000, 61500, None, 12),
    ("e50114079", "ニコン D70 デジタル一眼 ボディ バッテリー2個付", "kobe_camera",
     20, 5, 35000, 56000, None, 15),
    ("e49962253", "NIKON D70 デジタル一眼レフ ボディ ジャンク扱い", "shichiya_ken",
     27, 3, 10000, 31000, None, 22),
    ("e49905518", "ニコン D100 ボディ 縦位置グリップ付き", "photo_kaido",
     16, 7, 50000, 72000, None, 17),
    ("e49731904", "ニコン D70 デジタル一眼レフ ボディ 純正ストラップ付き", "camera_yoshida",
     34, 7, 25000, 57000, None, 24),
    ("e49650287", "【送料無料】ニコン D70 ボディ ショット数少なめ", "lens_ya",
     41, 5, 40000, 59500, None, 10),
    # Sold for the D70, not the camera: the history window says why it is
    # not in the D70's market.
    ("e49588120", "ニコン D70対応 互換バッテリー EN-EL3e 2個セット", "lens_ya",
     30, 5, 500, 1800, None, 6),
    # Started at 1 yen on a weekday morning: few saw it, and it went for a
    # fraction of the others; the outlier guard leaves it out.
    ("e49871206", "ニコン D70 デジタル一眼レフ ボディ 1円スタート", "lens_ya",
     25, 3, 1, 6500, None, 4),
    # ゲームボーイアドバンスSP (g40018236)
    ("g39877120", "ゲームボーイアドバンスSP パールブルー 本体 美品", "toy_box_k",
     3, 5, 3000, 9800, None, 16),
    ("g39815566", "任天堂 ゲームボーイアドバンス ＳＰ 本体 パールブルー 送料無料", "game_shop_aoi",
     8, 3, 5000, 10500, 12000, 9),
    ("g39770981", "【中古】GBA SP ゲームボーイアドバンスSP 本体 アズライトブルー", "retro_plaza",
     12, 7, 1000, 8900, None, 21),
    ("g39702334", "ゲームボーイアドバンスSP 本体のみ パールブルー 動作確認済", "mikan2004",
     18, 5, 6000, 9500, None, 8),
    ("g39654410", "ゲームボーイアドバンス 本体 ミルキーピンク", "toy_box_k",
     23, 5, 2000, 4200, None, 11),
    ("g39501772", "ゲームボーイアドバンスSP パールブルー 箱説付き", "mikan2004",
     33, 5, 5000, 10200, None, 12),
    ("g39433058", "任天堂 ゲームボーイアドバンスSP 本体 充電器付き", "retro_plaza",
     40, 7, 1, 9200, None, 27),
    # ロレックス デイトジャスト 16234 (b63350217)
    ("b62998701", "ロレックス デイトジャスト Ref.16234 メンズ 自動巻 OH済", "ginza_tokei",
     5, 7, 300000, 428000, None, 38),
    ("b62871245", "【ROLEX】ロレックス デイトジャスト 16234 SS×WG 美品", "brand_ichiba",
     11, 7, 1, 455000, None, 241),
    ("b62769930", "ロレックス デイトジャスト １６２３４ 黒文字盤 メンズ", "shichiya_ken",
     17, 5, 350000, 398000, None, 14),
    ("b62655128", "★ROLEX ロレックス デイトジャスト 16234 自動巻き 送料無料★", "tokei_no_mori",
     24, 7, 380000, 440000, None, 26),
    ("b62581376", "ロレックス エクスプローラーI 14270 メンズ 自動巻き", "ginza_tokei",
     14, 7, 300000, 372000, None, 31),
    ("b62419553", "ロレックス デイトジャスト 16234 メンズ 自動巻き 保証書付き", "brand_ichiba",
     32, 7, 350000, 445000, None, 33),
    ("b62307716", "ROLEX デイトジャスト 16234 シルバー文字盤", "tokei_no_mori",
     43, 7, 1, 418000, None, 198),
    # ハリー・ポッターと謎のプリンス (c27781540)
    ("c27612384", "ハリー・ポッターと謎のプリンス 上下巻 初版 帯付き", "hon_no_mushi",
     6, 5, 1500, 2900, None, 9),
    ("c27558701", "ハリー・ポッターと謎のプリンス 上下2冊セット 美品", "book_off_t",
     10, 5, 1000, 2600, None, 9),
    ("c27490255", "【送料無料】ハリーポッターと謎のプリンス 上・下 セット", "akiko_s",
     15, 7, 2000, 3100, None, 6),
    ("c27403618", "ハリー・ポッターと謎のプリンス 上下巻セット 初版", "hon_no_mushi",
     21, 5, 1200, 2200, None, 8),
    ("c27355940", "ハリー・ポッターと炎のゴブレット 上下巻セット", "book_off_t",
     19, 5, 800, 1600, None, 7),
    ("c27288109", "ハリー・ポッターと謎のプリンス 上下巻セット 帯付き", "akiko_s",
     31, 5, 1000, 2800, None, 10),
    ("c27203566", "ハリー・ポッターと謎のプリンス 上・下 2冊 美品", "hon_no_mushi",
     38, 7, 1500, 2500, None, 6),
]

BIDDERS = [
    "taka_0815", "hiro1973", "mocchi_k", "yuki_no_hana", "kenji_55", "sakura_mama",
    "nagoya_boy", "tetsu_3", "mikan2004", "osaka_ojisan", "ryo_photo", "akiko_s",
    "shin_chan77", "kuma_kuma", "daisuke_t", "hana_box", "zero_fighter", "momo_usagi",
    "tomo_k2", "jun_collect",
]


def bid_step(price):
    """The service's bid increment at a price."""
    for limit, step in ((1000, 10), (5000, 100), (10000, 250), (50000, 500)):
        if price < limit:
            return step
    return 1000


def minutes(days):
    return dt.timedelta(minutes=round(days * 1440))


def make_bids(rng, start, last, start_price, final_price, count):
    """count bids between start and last rising to final_price, newest first."""
    if count == 0:
        return []
    span = (last - start).total_seconds()
    # bidding gathers towards the end, as it does on the service
    times = sorted(start + dt.timedelta(seconds=max(60, span * rng.random() ** 0.5))
                   for _ in range(count))
    return priced_bids(rng, times, start_price, final_price)


def later_times(rng, now, end, count):
    """count moments from now to a minute before end, oldest first. The first
    comes within minutes, so a fresh service soon shows a change."""
    if count == 0:
        return []
    span = (end - now).total_seconds() - 120
    offsets = [rng.uniform(60, min(240, 60 + span))]
    offsets += [60 + span * rng.random() ** 0.5 for _ in range(count - 1)]
    return sorted(now + dt.timedelta(seconds=s) for s in offsets)


def priced_bids(rng, times, start_price, final_price, earlier=()):
    """Bids at times (oldest first) rising to final_price after earlier, newest first."""
    count = len(times)
    fractions = sorted(rng.random() ** 1.5 for _ in range(count - 1))
    price, bidder = (earlier[0].price, earlier[0].bidder) if earlier else (None, None)
    base = start_price if price is None else price
    targets = [int(base + (final_price - base) * f) for f in fractions]
    bids = []
    for i, when in enumerate(times):
        least = start_price if price is None else price + bid_step(price)
        if i < len(targets):
            price = max(least, targets[i] - targets[i] % bid_step(targets[i]))
        else:
            price = max(least, final_price)
        bidder = rng.choice([b for b in BIDDERS if b != bidder])
        mode = "自動入札" if rng.random() < 0.3 else "手動入札"
        bids.append(Bid(when.replace(second=0, microsecond=0), bidder, mode, price))
    return bids[::-1]


def plan_auctions(now):
    """The sample auctions of a service started at local time now, with every bid
    they are going to get."""
    now = now.replace(second=0, microsecond=0)
    auctions = []
    for (aid, title, seller, age, length, start_price, price, buy_now,
         count, lists) in SAMPLES:
        rng = random.Random(aid)
        start = now - minutes(age)
        end = start + minutes(length)
        last = min(now, end) - dt.timedelta(minutes=3)
        bids = make_bids(rng, start, last, start_price, price, count)
        more, closing_price, extends = LATER.get(aid, (0, price, False))
        times = ([now + dt.timedelta(minutes=m) for m in more] if isinstance(more, tuple)
                 else later_times(rng, now, end, more))
        if times:
            bids = priced_bids(rng, times, start_price, closing_price, bids) + bids
        auctions.append(Auction(aid, title, seller, start, end, start_price, buy_now,
                                bids, lists, extends))
    return auctions


def plan_market(now):
    """The ended auctions of the market of a service started at local time now."""
    now = now.replace(second=0, microsecond=0)
    auctions = []
    for (aid, title, seller, ago, length, start_price, closing_price, buy_now,
         count) in MARKET:
        rng = random.Random(aid)
        # auctions end at any time of the evening, not on the hour
        end = now - dt.timedelta(days=ago, minutes=rng.randrange(600))
        start = end - dt.timedelta(days=length)
        bids = make_bids(rng, start, end - dt.timedelta(minutes=3), start_price,
                         closing_price, count)
        auctions.append(Auction(aid, title, seller, start, end, start_price, buy_now, bids))
    return auctions


def as_of(plans, when):
    return [a for a in (p.as_of(when) for p in plans) if a is not None]


def build_auctions(now, when=None):
    """The sample auctions of a service started at now as they stand at when
    (by default now)."""
    return as_of(plan_auctions(now), when or now.replace(second=0, microsecond=0))


def build_market(now, when=None):
    """The ended auctions of the market as they stand at when (by default now)."""
    return as_of(plan_market(now), when or now.replace(second=0, microsecond=0))


# Where in each quarter of its time an ended auction of the market is recorded.
POINT_SHARES = (1 / 8, 3 / 8, 5 / 8, 7 / 8)


def record_points(now, base):
    """(time, page address, "running" or "ended") of each moment the demo records
    an ended auction of the market: the middle of each quarter of its time, with
    the page as it stood then, and its end; oldest first, so that a forecast
    weighs only the closing prices known by its time."""
    points = []
    for a in plan_market(now):
        for share in POINT_SHARES:
            when = (a.start + (a.end - a.start) * share).replace(second=0, microsecond=0)
            points.append((when, f"{base}/jp/auction/{a.id}&at={when:%Y%m%d%H%M}", "running"))
        points.append((a.end, f"{base}/jp/auction/{a.id}", "ended"))
    # an end before a point of the same minute, as the program sees it then
    return sorted(points, key=lambda p: (p[0], p[2] == "running"))


def header_date(t):
    return f"{t.month}月 {t.day}日 {t.hour}時 {t.minute}分"


def log_date(t):
    return f"[{t.month}月{t.day}日 {t.hour}時{t.minute:02d}分]"


def yen(n):
    return f"{n:,}"


def page(title, body):
    return "\n".join([
        "<HTML>", "<HEAD>",
        '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=EUC-JP">',
        f"<TITLE>Yahoo!オークション - {title}</TITLE>", "</HEAD>",
        '<BODY BGCOLOR="#FFFFFF">', *body, "</BODY>", "</HTML>", ""])


def bid_history_page(a):
    # Each header row on a line of its own: the program takes one field per line.
    rows = [
        f"<TR><TD>開始日時：</TD><TD>{header_date(a.start)}</TD></TR>",
        f'<TR><TD>終了日時：</TD><TD>{header_date(a.end)} '
        f'<a href="/jp/auction/{a.id}">（商品ページへ）</a></TD></TR>',
        f'<TR><TD>入札件数：</TD><TD>{len(a.bids)}<small>（<a href="/jp/show/bid_hist?'
        f'aID={a.id}&typ=log">更新</a>）</small></TD></TR>',
        f"<TR><TD>現在の価格：</TD><TD><b>{yen(a.price)} 円</b></TD></TR>",
    ]
    if a.buy_now is not None:
        rows.append("<TR><TD bgcolor=ffffcc><b>希望落札価格：</b></TD>"
                    f"<TD bgcolor=ffffcc><b>{yen(a.buy_now)} 円</b></TD></TR>")
    rows += [
        f"<TR><TD>オークションID：</TD><TD>{a.id}</TD></TR>",
        f'<TR><TD>出品者：</TD><TD><a href="/jp/show/rating?userID={a.seller}&">'
        f"{a.seller}</a></TD></TR>",
    ]
    log = [f"<SMALL>{log_date(b.time)} {b.bidder} {b.mode} {yen(b.price)}円</SMALL><BR>"
           for b in a.bids]
    log.append(f"<SMALL>{log_date(a.start)} オークション開始。 {yen(a.start_price)}円</SMALL><BR>")
    return page(a.title, [
        "<center>", f"<B>{a.title}</B>", "<TABLE BORDER=0 CELLPADDING=3 CELLSPACING=1>",
        *rows, "</TABLE>", "<HR>", "<B>入札の記録</B><BR>", *log, "</center>",
        f'<P><a href="/jp/auction/{a.id}">商品ページへ戻る</a></P>'])


def item_page(a, now):
    state = "開催中" if a.running(now) else "終了"
    buy = f"<BR>希望落札価格：{yen(a.buy_now)} 円" if a.buy_now is not None else ""
    picture = ([f'<IMG SRC="/img/{a.id}.jpg" WIDTH=160 HEIGHT=120 ALT="">']
               if (PICTURES / f"{a.id}.jpg").is_file() else [])
    return page(a.title, [
        f"<H2>{a.title}</H2>",
        *picture,
        f"<P>現在の価格：{yen(a.price)} 円{buy}<BR>入札件数：{len(a.bids)}<BR>"
        f"終了日時：{header_date(a.end)}（{state}）<BR>出品者：{a.seller}</P>",
        f'<P><a href="/jp/show/bid_hist?aID={a.id}&typ=log">入札履歴</a></P>'])


TOP_HEADING = "<BIG><B>Yahoo!オークション</B> - <B>マイ・オークション</B></BIG>"

# query "select" value: heading, caption
LISTS = {
    "watchlist": None,  # open or closed, by watchclosed
    "bidding": ("<B>入札中</B>", "入札中"),
    "selling": ("<B>出品中</B>", "出品中"),
    "won": ("<B>落札分</B>", "落札分"),
    "closed": ("<B>終了分</B>", "終了分"),
}


def my_auction_top(base):
    link = f"{base}/jp/show/mystatus?select="
    return page("マイ・オークション", [
        TOP_HEADING, "<BR>", f"{USER} さんのマイ・オークション", "<TABLE BORDER=0>",
        # the program derives the ended watch list from this link: "open" becomes
        # "closed" and watchclosed=0 becomes watchclosed=1
        f'<TR><TD><A HREF="{link}watchlist&watchclosed=0&myaucpic=false&picsnum=20'
        '&status=open">ウォッチリスト</A></TD></TR>',
        f'<TR><TD><A HREF="{link}bidding">入札中</A></TD></TR>',
        f'<TR><TD><A HREF="{link}selling">出品中</A></TD></TR>',
        f'<TR><TD><A HREF="{link}won">落札</A></TD></TR>',
        f'<TR><TD><A HREF="{link}closed">終了分</A></TD></TR>',
        "</TABLE>"])


def time_left(a, now):
    left = a.end - now
    if left.total_seconds() <= 0:
        return "終了"
    if left.days:
        return f"{left.days}日"
    if left.seconds >= 3600:
        return f"{left.seconds // 3600}時間"
    return f"{left.seconds // 60}分"


def my_auction_list(auctions, query, base, now):
    select = query.get("select", "")
    if select == "watchlist":
        closed = query.get("watchclosed", "0").strip() == "1"
        heading = "<B>終了したオークション</B>" if closed else "<B>開催中のオークション</B>"
        caption = "ウォッチリスト"
        shown = [a for a in auctions if "watch" in a.lists and a.running(now) != closed]
    else:
        heading, caption = LISTS[select]
        shown = [a for a in auctions if select in a.lists]
    pictures = query.get("myaucpic", "").strip() == "true"
    try:
        shown = shown[:int(query.get("picsnum", "20").strip())]
    except ValueError:
        pass

    rows = []
    for a in shown:
        url = f"{base}/jp/auction/{a.id}"
        picture = (f'<TD><a href="{url}"><IMG BORDER=0 SRC="{base}/img/{a.id}.jpg" '
                   'WIDTH=50 HEIGHT=38 ALT=""></a></TD>') if pictures else ""
        # bold title links: the other link form the program harvests
        name = (f'<TD><b><a href="{url}">{a.title}</a></b></TD>' if select == "bidding"
                else f'<TD><a href="{url}">{a.title}</a></TD>')
        # one auction per line: the program pairs a picture link with the next title link
        rows.append(f"<TR><TD>{a.id}</TD>{picture}{name}<TD>{yen(a.price)} 円</TD>"
                    f"<TD>{len(a.bids)}</TD><TD>{time_left(a, now)}</TD></TR>")
    header = "<TD>画像</TD>" if pictures else ""
    return page(f"マイ・オークション - {caption}", [
        TOP_HEADING, "<BR>", heading, f"<SMALL>{len(shown)} 件</SMALL>",
        '<TABLE BORDER=1 CELLPADDING=2 CELLSPACING=0>',
        f"<TR><TD>商品ID</TD>{header}<TD>商品名</TD><TD>現在価格</TD><TD>入札</TD>"
        "<TD>残り時間</TD></TR>",
        *rows, "</TABLE>"])


def login_page():
    return "\n".join([
        "<HTML>", "<HEAD>",
        '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=EUC-JP">',
        "<TITLE>Yahoo! JAPAN - ログイン</TITLE>", "</HEAD>", "<BODY>",
        "<B>ログイン</B><BR>",
        "マイ・オークションをご利用になるにはログインしてください。<BR>",
        '<FORM METHOD=POST ACTION="/config/login">Yahoo! JAPAN ID：<INPUT NAME=login><BR>',
        "パスワード：<INPUT TYPE=password NAME=passwd><BR><INPUT TYPE=submit VALUE=ログイン></FORM>",
        "</BODY>", "</HTML>", ""])


def not_found_page():
    return page("エラー", ["<P>指定されたページは見つかりません。</P>"])


class Service(ThreadingHTTPServer):
    """Dates count from now (by default the moment it starts); its clock starts
    there and runs on, unless another clock is given."""
    daemon_threads = True

    def __init__(self, port, now=None, clock=None):
        super().__init__((HOST, port), Handler)
        self.started = now or dt.datetime.now()
        if clock is None:
            ticks = time.monotonic()
            clock = lambda: self.started + dt.timedelta(seconds=time.monotonic() - ticks)  # noqa: E731
        self.clock = clock
        self.plans = {a.id: a for a in plan_auctions(self.started) + plan_market(self.started)}
        self.base = f"http://{HOST}:{self.server_address[1]}"

    @property
    def auctions(self):
        """Every auction as it stands now."""
        return {a.id: a for a in as_of(self.plans.values(), self.clock())}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"  # one reply per connection, then close
    server_version = "SampleAuction/1.0"
    quiet = False

    def parse_request(self):
        # The program may send a blank inside the target ("myaucpic=true "):
        # take the text between the method and the version as the target.
        line = self.raw_requestline.rstrip(b"\r\n")
        method, _, rest = line.partition(b" ")
        target, _, version = rest.rpartition(b" ")
        if target and version.startswith(b"HTTP/"):
            target = target.replace(b" ", b"%20")
            self.raw_requestline = b" ".join((method, target, version)) + b"\r\n"
        return super().parse_request()

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        path, _, extra = url.path.partition("&")  # /jp/auction/<id>&at=…: the program's address form
        query = {k: v[0] for k, v in urllib.parse.parse_qs(
            "&".join((url.query, extra)), keep_blank_values=True).items()}
        now = self.server.clock()
        when = self.moment(query.get("at"), now)
        plans = self.server.plans
        aid = query.get("aID") if path == "/jp/show/bid_hist" else path[12:]
        auction = plans[aid].as_of(when) if when and aid in plans else None
        if path == "/jp/show/bid_hist" and auction:
            self.reply(bid_history_page(auction))
        elif path.startswith("/jp/auction/") and auction:
            self.reply(item_page(auction, when))
        elif re.fullmatch(r"/img/[a-z0-9]+\.jpg", path) and (PICTURES / path[5:]).is_file():
            self.reply((PICTURES / path[5:]).read_bytes(), "image/jpeg")
        elif path == "/jp/show/mystatus" and query.get("select", "") in ("", *LISTS):
            if not self.logged_in():
                self.reply(login_page())
            elif "select" not in query:
                self.reply(my_auction_top(self.server.base))
            else:
                self.reply(my_auction_list(as_of(plans.values(), now), query, self.server.base, now))
        else:
            self.reply(not_found_page(), status=404)

    @staticmethod
    def moment(at, now):
        """The moment a page is asked for: at (YYYYMMDDHHMM) or now; never later
        than now, for the service does not tell the future. None when unreadable."""
        if at is None:
            return now
        try:
            return min(dt.datetime.strptime(at, "%Y%m%d%H%M"), now)
        except ValueError:
            return None

    def logged_in(self):
        cookies = (c.strip() for c in self.headers.get("Cookie", "").split(";"))
        return LOGIN_COOKIE in cookies

    def reply(self, body, content_type="text/html; charset=EUC-JP", status=200):
        data = body.encode(ENCODING) if isinstance(body, str) else body
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, fmt, *args):
        if not self.quiet:
            super().log_message(fmt, *args)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Sample auction service for Mirelo (127.0.0.1).")
    parser.add_argument("--port", type=int, default=DEFAULT_PORT)
    parser.add_argument("--list", action="store_true",
                        help="print title, page address and picture address per auction and exit")
    parser.add_argument("--ended", action="store_true",
                        help="print title and page address per ended auction of the market and exit")
    parser.add_argument("--points", action="store_true",
                        help="print time, page address and state of each moment to record an ended"
                             " auction of the market at, oldest first, and exit")
    parser.add_argument("--start", type=lambda t: dt.datetime.strptime(t, "%Y-%m-%d %H:%M"),
                        help='the moment dates count from, "YYYY-MM-DD HH:MM" (default: now)')
    parser.add_argument("--quiet", action="store_true", help="do not log requests")
    args = parser.parse_args(argv)

    start = args.start or dt.datetime.now()
    base = f"http://{HOST}:{args.port}"
    if args.list:
        for a in build_auctions(start):
            print(f"{a.title}\t{base}/jp/auction/{a.id}\t{base}/img/{a.id}.jpg")
        return 0
    if args.ended:
        for a in build_market(start):
            print(f"{a.title}\t{base}/jp/auction/{a.id}")
        return 0
    if args.points:
        for when, address, state in record_points(start, base):
            print(f"{when:%Y-%m-%d %H:%M}\t{address}\t{state}")
        return 0

    Handler.quiet = args.quiet
    # dates from the given start, the clock from the real one
    service = Service(args.port, start, dt.datetime.now if args.start else None)
    print(f"Sample auction service on {service.base}/ (Ctrl+C stops it)", file=sys.stderr)
    try:
        service.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        service.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
