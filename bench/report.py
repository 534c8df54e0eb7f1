"""Turns the JSON results of the benchmark programs into one table: operation, our
figure, the goal, and the peer measured in the same run.

    /usr/bin/python3 bench/report.py RESULTS_DIR [MARKDOWN_OUT]
"""
import datetime
import json
import os
import platform
import subprocess
import sys

# (operation, program, benchmark, metric, unit, goal, check, peer program, peer benchmark, peer label)
# metric: "real_time", "cpu_time" or a counter name. check(ours, peer) -> bool or None.
KIB256, MIB = 256 << 10, 1 << 20
ROWS = [
    ("findText, 1 MiB JSONP-like", "text", f"BM_findText/gbk:0/bytes:{MIB}", "cpu_time", "us",
     "<= 2x string_view::find", lambda o, p: o <= 2 * p, "text", f"BM_std_find/gbk:0/bytes:{MIB}", "string_view::find"),
    ("findText, 1 MiB GBK-dense", "text", f"BM_findText/gbk:1/bytes:{MIB}", "cpu_time", "us",
     "linear", None, "text", f"BM_std_find/gbk:1/bytes:{MIB}", "string_view::find"),
    ("findText, 256 KiB JSONP-like", "text", f"BM_findText/gbk:0/bytes:{KIB256}", "cpu_time", "us",
     "linear (x4 at 1 MiB)", None, "text", f"BM_std_find/gbk:0/bytes:{KIB256}", "string_view::find"),
    ("findLastText, 1 MiB JSONP-like", "text", f"BM_findLastText/gbk:0/bytes:{MIB}", "cpu_time", "us",
     "linear", None, "text", f"BM_std_rfind/gbk:0/bytes:{MIB}", "string_view::rfind"),
    ("findLastText, 1 MiB GBK-dense", "text", f"BM_findLastText/gbk:1/bytes:{MIB}", "cpu_time", "us",
     "linear", None, "text", f"BM_std_rfind/gbk:1/bytes:{MIB}", "string_view::rfind"),
    ("textBetween, 1 MiB JSONP-like", "text", f"BM_textBetween/gbk:0/bytes:{MIB}", "cpu_time", "us",
     "linear", None, "text", f"BM_std_between/gbk:0/bytes:{MIB}", "two finds"),
    ("replaceText, 1 MiB JSONP-like", "text", f"BM_replaceText/gbk:0/bytes:{MIB}", "cpu_time", "us",
     "linear", None, "text", f"BM_std_replace/gbk:0/bytes:{MIB}", "find/append loop"),
    ("replaceText, 1 MiB GBK-dense", "text", f"BM_replaceText/gbk:1/bytes:{MIB}", "cpu_time", "us",
     "linear", None, "text", f"BM_std_replace/gbk:1/bytes:{MIB}", "find/append loop"),
    ("splitText, 1 MiB JSONP-like", "text", f"BM_splitText/gbk:0/bytes:{MIB}", "cpu_time", "us",
     "linear", None, "text", f"BM_std_split/gbk:0/bytes:{MIB}", "find/substr loop"),
    ("decodeEscapedText, 256 KiB stock reply", "web", "BM_DecodeEscapedText", "cpu_time", "ms",
     "faster than node", lambda o, p: o < p, "web", "BM_NodeDecodeSameReply", "node (in-process decode)"),
    ("fetchPageText, 2 KiB loopback, CPU per fetch", "web", "BM_FetchPageText", "cpu_us_per_fetch", "us",
     "<= 1.3x bare socket", lambda o, p: o <= 1.3 * p, "web", "BM_BareSocketFetch", "bare socket client"),
    ("fetchPageText vs Python requests, CPU per fetch", "web", "BM_FetchPageText", "cpu_us_per_fetch", "us",
     "", None, "web", "BM_PythonRequestsFetch", "Python requests"),
    ("toolkit cell write from a worker, p50, GUI idle", "toolkit_call", "CellWrite/0/real_time", "p50_us", "us",
     "< 50 us", lambda o, p: o < 50, None, None, ""),
    ("toolkit cell write from a worker, p99, GUI idle", "toolkit_call", "CellWrite/0/real_time", "p99_us", "us",
     "", None, None, None, ""),
    ("toolkit cell write from a worker, p50, GUI busy", "toolkit_call", "CellWrite/1/real_time", "p50_us", "us",
     "", None, None, None, ""),
    ("toolkit cell write from a worker, p99, GUI busy", "toolkit_call", "CellWrite/1/real_time", "p99_us", "us",
     "", None, None, None, ""),
    ("toolkit cell read from a worker, p50, GUI idle", "toolkit_call", "CellRead/0/real_time", "p50_us", "us",
     "< 50 us", lambda o, p: o < 50, None, None, ""),
    ("toolkit cell read from a worker, p99, GUI busy", "toolkit_call", "CellRead/1/real_time", "p99_us", "us",
     "", None, None, None, ""),
    ("import 10,000 rows into the list", "records", "BM_Import/10000", "real_time", "ms",
     "< 200 ms", lambda o, p: o < 200, "records", "BM_Import/1000", "1,000 rows (linearity)"),
    ("rewrite 10,000 rows from the list", "records", "BM_Rewrite/10000", "real_time", "ms",
     "< 200 ms", lambda o, p: o < 200, "records", "BM_Rewrite/1000", "1,000 rows (linearity)"),
    ("monitoring pass over 1,000 rows: longest GUI stall, p99", "monitoring", "BM_MonitoringPass/iterations:1/manual_time",
     "stall_p99_ms", "ms", "< 16 ms", lambda o, p: o < 16, None, None, ""),
    ("monitoring pass over 1,000 rows: longest GUI stall, max", "monitoring", "BM_MonitoringPass/iterations:1/manual_time",
     "stall_max_ms", "ms", "", None, None, None, ""),
    ("monitoring pass: CPU per product check (4 requests)", "monitoring", "BM_MonitoringPass/iterations:1/manual_time",
     "cpu_ms_per_check", "ms", "< 0.5 ms", lambda o, p: o < 0.5, "monitoring",
     "BM_MonitoringPass/iterations:1/manual_time", "Python requests, same 4 requests"),
    ("monitoring pass: peak resident memory", "monitoring", "BM_MonitoringPass/iterations:1/manual_time",
     "peak_rss_mb", "MB", "< 300 MB", lambda o, p: o < 300, None, None, ""),
    ("QR reply re-encoded into the JPEG file", "qr_picture", "BM_ReencodeQrReply", "cpu_time", "us",
     "", None, None, None, ""),
]
# Where the peer's figure is another counter of the same benchmark.
# (keyed by the peer benchmark; node's figure is its own CPU time per decode, given as manual time).
PEER_METRIC = {"BM_MonitoringPass": "python_cpu_ms_per_product", "BM_NodeDecodeSameReply": "real_time"}
UNIT_SCALE = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}  # to microseconds


def load(results_dir):
    data = {}
    for name in os.listdir(results_dir):
        if name.endswith(".json"):
            with open(os.path.join(results_dir, name)) as f:
                try:
                    doc = json.load(f)
                except json.JSONDecodeError:
                    continue
            data[name[:-5]] = {b["name"]: b for b in doc.get("benchmarks", [])}
    # Extra rows a benchmark program reports itself: {"rows": [{operation, figure, unit, goal, peer, met}]}
    extra = []
    for name in sorted(os.listdir(results_dir)):
        if name.endswith(".rows.json"):
            with open(os.path.join(results_dir, name)) as f:
                extra += json.load(f).get("rows", [])
    return data, extra


def figure(data, program, bench, metric, unit):
    results = data.get(program, {})
    b = results.get(bench)
    if b is None:  # "BM_X" also names "BM_X/iterations:N[/manual_time]"
        b = next((r for n, r in results.items() if n.startswith(bench + "/iterations:")), None)
    if b is None or b.get("error_occurred"):
        return None
    if metric in ("real_time", "cpu_time"):
        return b[metric] * UNIT_SCALE[b.get("time_unit", "ns")] / UNIT_SCALE[unit]
    return b.get(metric)


def fmt(v):
    if v is None:
        return "n/a"
    return f"{v:,.1f}" if v >= 10 else f"{v:,.3g}"


def machine():
    cpu = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    mem = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") / 2**30
    os_name = platform.platform()
    try:
        os_name = subprocess.run(["sh", "-c", ". /etc/os-release; echo $PRETTY_NAME"], capture_output=True,
                                 text=True).stdout.strip() or os_name
    except OSError:
        pass
    return f"{os_name}, {os.cpu_count()} cores ({cpu}), {mem:.0f} GiB, measured {datetime.date.today()}"


def main():
    data, extra = load(sys.argv[1])
    lines = ["| Operation | Figure | Goal | Peer (same run) | Met |", "|---|---|---|---|---|"]
    for op, prog, bench, metric, unit, goal, check, pprog, pbench, plabel in ROWS:
        ours = figure(data, prog, bench, metric, unit)
        if ours is None and prog not in data:
            continue
        peer_metric = PEER_METRIC.get((pbench or "").split("/")[0], metric)
        peer = figure(data, pprog, pbench, peer_metric, unit) if pprog else None
        met = ""
        if check and ours is not None and (peer is not None or pprog is None):
            met = "yes" if check(ours, peer) else "NO"
        peer_text = f"{plabel}: {fmt(peer)} {unit}" if pprog else ""
        if pprog and ours is not None and peer:
            peer_text += f" (ratio {ours / peer:.2f})"
        lines.append(f"| {op} | {fmt(ours)} {unit} | {goal} | {peer_text} | {met} |")
    for r in extra:
        lines.append(f"| {r['operation']} | {r['figure']} | {r.get('goal', '')} | {r.get('peer', '')} | "
                     f"{r.get('met', '')} |")
    table = "\n".join(lines)
    print(table)
    if len(sys.argv) > 2:
        with open(sys.argv[2], "w") as f:
            f.write("# Performance\n\nProduced by `bash scripts/bench.sh` (release build). Machine: "
                    f"{machine()}.\n\nEach figure is beside the peer measured in the same run: the nearest "
                    "standard operation, another client doing the same work, or the same operation at a "
                    "smaller size to show linearity.\n\n" + table + "\n")


if __name__ == "__main__":
    main()
