"""The table of medians: each figure beside DIRECT and the best peer, then the goals."""

import statistics

PEERS = ("tinyproxy", "privoxy", "squid")
# The peers that decrypt HTTPS, each with a CA of its own: (h), (h2), (hf), (hm).
INSPECT_PEERS = ("privoxy TLS", "squid bump", "mitmproxy")
# Figures where less is better; for the others (req/s, MB/s) more is better.
LOWER_IS_BETTER = ("p50 ms", "p99 ms", "CPU ms/1k", "idle RSS MB", "peak RSS MB",
                   "KiB/tunnel", "click p50 ms", "click p95 ms", "click max ms",
                   "GUI CPU %")

# (test key, title, metrics)
FIGURES = [
    ("a", "(a) 1 KiB GET, new connection each (ab)", ("req/s", "p50 ms", "p99 ms")),
    ("c", "(c) 1 KiB GET, keep-alive (wrk)", ("req/s", "p50 ms", "p99 ms", "CPU ms/1k")),
    ("d1", "(d) 100 MiB body, one download (curl)", ("MB/s",)),
    ("d4", "(d) 100 MiB body, four in parallel, total", ("MB/s",)),
    ("f", "(f) 50 KiB HTML, new connection each (ab)", ("req/s", "p50 ms", "p99 ms")),
    ("e", "(e) resident memory, summed over processes", ("idle RSS MB", "peak RSS MB")),
    ("g", "(g) HTTPS: new tunnel and one TLS 1 KiB GET each (curl)", ("req/s", "p50 ms",
                                                                    "p99 ms")),
    ("g1", "(g) HTTPS: 100 MiB body through one tunnel (curl)", ("MB/s",)),
    ("g200", "(g) resident memory per idle tunnel, 200 open", ("KiB/tunnel",)),
    ("h", "(h) HTTPS inspected: new TLS connection and one 1 KiB GET each (curl)",
     ("req/s", "p50 ms", "p99 ms", "CPU ms/1k")),
    ("h2", "(h2) HTTPS inspected: 1 KiB GETs over kept TLS connections (curl)",
     ("req/s", "p50 ms", "p99 ms", "CPU ms/1k")),
    ("hf", "(hf) HTTPS inspected: 50 KiB HTML over kept connections", ("req/s", "p50 ms",
                                                                     "p99 ms")),
    ("hm", "(hm) resident memory with inspection on", ("idle RSS MB", "peak RSS MB")),
    ("w", "(w) window: a click on a log tab, ab load", ("click p50 ms", "click p95 ms",
                                                       "click max ms", "GUI CPU %",
                                                       "load req/s")),
]


class Results:
    def __init__(self):
        self.values = {}  # (test, metric, target) -> [value per successful run]
        self.errors = []  # (test, target, round, message)
        self.order = []   # targets in first-seen order, per test
        self.failed = {}  # (test, target) -> failed runs

    def add(self, test, target, figures):
        for metric, value in figures.items():
            self.values.setdefault((test, metric, target), []).append(value)
        self.seen(test, target)

    def fail(self, test, target, round_no, message, also=()):
        """A failed run of test; its figures that belong to the tests in `also` are missing
        there too."""
        self.errors.append((test, target, round_no, message))
        for where in (test, *also):
            self.failed[(where, target)] = self.failed.get((where, target), 0) + 1
            self.seen(where, target)

    def seen(self, test, target):
        if (test, target) not in self.order:
            self.order.append((test, target))

    def median(self, test, metric, target):
        runs = self.values.get((test, metric, target))
        return statistics.median(runs) if runs else None

    def best_peer(self, test, metric):
        found = [(self.median(test, metric, p), p) for p in PEERS + INSPECT_PEERS]
        found = [(v, p) for v, p in found if v is not None]
        if not found:
            return None, None
        return (min if metric in LOWER_IS_BETTER else max)(found)

    def failures(self, test, target):
        return self.failed.get((test, target), 0)


def number(value, metric):
    if value is None:
        return "-"
    if metric in ("req/s",):
        return f"{value:,.0f}"
    if metric.endswith("RSS MB"):
        return f"{value / 1e6:.1f}"
    return f"{value:,.2f}" if value < 100 else f"{value:,.0f}"


def ratio(value, reference):
    if value is None or not reference:
        return "-"
    return f"{value / reference:.2f}x"


def table(results, rounds):
    lines = []
    header = f"{'figure':<44}{'metric':<13}{'target':<20}{'median':>10}{'/DIRECT':>9}" \
             f"{'/best peer':>12}  runs"
    lines.append(header)
    lines.append("-" * len(header))
    for test, title, metrics in FIGURES:
        targets = [g for t, g in results.order if t == test]
        if not targets:
            continue
        first = True
        for metric in metrics:
            direct = results.median(test, metric, "DIRECT")
            best, best_name = results.best_peer(test, metric)
            for target in targets:
                value = results.median(test, metric, target)
                done = len(results.values.get((test, metric, target), []))
                failed = results.failures(test, target)
                if not done and not failed:
                    continue  # not measured for this target (the proxy's CPU for DIRECT)
                runs = f"{done}/{done + failed}" + ("  FAILED" if failed else "")
                shown = number(value, metric) if done else "error"
                best_mark = " *" if target == best_name else ""
                lines.append(f"{title if first else '':<44}{metric:<13}"
                             f"{target + best_mark:<20}{shown:>10}{ratio(value, direct):>9}"
                             f"{ratio(value, best):>12}  {runs}")
                first = False
    lines.append("")
    lines.append(f"Medians of {rounds} interleaved rounds; * marks the best peer. req/s and "
                 "MB/s (10^6 bytes): more is better; ms and MB: less is better. CPU ms/1k: "
                 "the proxy's CPU time (user and system) per 1,000 requests.")
    return "\n".join(lines)


def goal_lines(results):
    """The issue's targets, compared in this run. Informative only: speed never fails."""
    m = results.median
    k = "KORVANEL"

    def check(text, value, reference, factor=1.0, lower=False):
        if value is None or reference is None:
            return f"  [ ?  ] {text}: not measured"
        met = value <= reference * factor if lower else value >= reference * factor
        shown = lambda v: f"{v:,.0f}" if v >= 100 else f"{v:.1f}"  # noqa: E731
        return f"  [{'met ' if met else 'miss'}] {text}: {shown(value)} vs " \
               f"{shown(reference * factor)}"

    best = lambda test, metric: results.best_peer(test, metric)[0]  # noqa: E731
    idle, peak = m("e", "idle RSS MB", k), m("e", "peak RSS MB", k)
    kl = "KORVANEL logs on"
    ki = "KORVANEL inspect"
    hm_idle = m("hm", "idle RSS MB", ki)
    return ["Goals (KORVANEL):",
            check("(a) req/s >= 1.5 x best peer", m("a", "req/s", k), best("a", "req/s"), 1.5),
            check("(c) req/s >= Squid", m("c", "req/s", k), m("c", "req/s", "squid")),
            check("(c) p99 ms <= 1.25 x best peer's, logs off", m("c", "p99 ms", k),
                  best("c", "p99 ms"), 1.25, lower=True),
            check("(c) p99 ms <= 1.25 x best peer's, logs to the pane", m("c", "p99 ms", kl),
                  best("c", "p99 ms"), 1.25, lower=True),
            check("(c) proxy CPU ms per 1,000 requests <= Squid's", m("c", "CPU ms/1k", k),
                  m("c", "CPU ms/1k", "squid"), lower=True),
            check("(d) one download MB/s >= 0.75 x DIRECT", m("d1", "MB/s", k),
                  m("d1", "MB/s", "DIRECT"), 0.75),
            check("(f) req/s, filter off, >= 1.5 x best peer", m("f", "req/s", k),
                  best("f", "req/s"), 1.5),
            check("(g) req/s >= 1.5 x best peer", m("g", "req/s", k), best("g", "req/s"), 1.5),
            check("(g) download MB/s >= 0.75 x DIRECT", m("g1", "MB/s", k),
                  m("g1", "MB/s", "DIRECT"), 0.75),
            check("(g) KiB per idle tunnel <= 64", m("g200", "KiB/tunnel", k), 64.0,
                  lower=True),
            check("(h) req/s >= 2 x best peer", m("h", "req/s", ki), best("h", "req/s"), 2.0),
            check("(h2) req/s >= 2 x best peer", m("h2", "req/s", ki), best("h2", "req/s"),
                  2.0),
            check("(hm) idle RSS MB with inspection on <= 8", hm_idle and hm_idle / 1e6, 8.0,
                  lower=True),
            check("(w) click p95 ms <= 200, every log in its pane",
                  m("w", "click p95 ms", "window, panes on"), 200.0, lower=True),
            check("(e) idle RSS MB <= 4", idle and idle / 1e6, 4.0, lower=True),
            check("(e) peak RSS MB <= 12", peak and peak / 1e6, 12.0, lower=True)]
