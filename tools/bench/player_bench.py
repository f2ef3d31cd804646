#!/usr/bin/env python3
"""The Linux client's player beside Chromium's, in one run, interleaved.

Run inside a private X session (scripts/bench-player.sh brings one up). Each
round starts the client cold (no data folder) with a login page that signs
in by itself, and Chromium cold (a fresh profile) with a page of its own
that runs the same Ruffle build on the same movie with the same flash
variables. It prints the medians of:

  early   a login as soon as the login page is drawn: the client's hand-over
          to the movie's first frame; Chromium's navigation to the first frame
  late    a login long after the start: the client's hand-over to the first
          frame; Chromium's load of the movie into a player that is ready
  cpu     the process tree's share of one core while the movie plays, and
          beside it the X server's and the compositor's
  pss     the process tree's proportional set size while the movie plays

"The movie's first frame" is the demo movie's first ExternalInterface call
(movie-started in the client's trace), made from its first frame's script.
"""
import argparse
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")
FLASH_VARS = "sso=serverid%3D%37%26username%3DAyla&sid=7&host={host}&poy=250&microp=1&platform=1"

CHROMIUM_PAGE = """<!doctype html><html><head><meta charset="utf-8"><style>
html,body{{margin:0;width:100%;height:100%;overflow:hidden;background:#000}}
#stage{{position:absolute;left:{x}px;top:{y}px;width:{w}px;height:{h}px}}
ruffle-player{{display:block;width:100%;height:100%}}</style></head><body><div id="stage"></div>
<script>
var report=function(kind,value){{fetch('report/'+kind+'/'+value).catch(function(){{}});}};
var t0=0,frames=0;
window.tarnholdMovieStarted=function(){{report('started',(performance.now()-t0).toFixed(1));}};
window.tarnholdMovieFrame=function(n){{report('frame',n);}};
window.RufflePlayer={{config:{{publicPath:'ruffle/',polyfills:false,logLevel:'warn',preferredRenderer:'canvas'}}}};
var options={{url:'movie.swf',parameters:{vars},allowScriptAccess:true,allowFullscreen:true,menu:false,
quality:'high',wmode:'direct',autoplay:'on',unmuteOverlay:'hidden',splashScreen:false,letterbox:'on'}};
var s=document.createElement('script');s.src='ruffle/ruffle.js';s.onload=function(){{
var player=window.RufflePlayer.newest().createPlayer();document.getElementById('stage').appendChild(player);
if(location.hash==='#warm'){{
player.ruffle().load({{data:[70,87,83,10,17,0,0,0,0,0,24,1,0,64,0,0,0],autoplay:'off',splashScreen:false,
unmuteOverlay:'hidden'}}).then(function(){{setTimeout(function(){{t0=performance.now();player.ruffle().load(options);}},3000);}});
}}else{{player.ruffle().load(options);}}}};document.head.appendChild(s);
</script></body></html>"""

AUTO_LOGIN = """<!doctype html><body>saved session<script>addEventListener('load',function(){{
setTimeout(function(){{location.href='{entry}';}},{delay});}});</script></body>"""


def children_map():
    kids = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        ppid = int(stat[stat.rindex(")") + 2 :].split()[1])
        kids.setdefault(ppid, []).append(int(name))
    return kids


def tree(root):
    kids = children_map()
    out, todo = [], [root]
    while todo:
        pid = todo.pop()
        out.append(pid)
        todo.extend(kids.get(pid, []))
    return out


def cpu_ticks(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except OSError:
        return 0


def thread_ticks(pids):
    out = {}
    for pid in pids:
        try:
            with open(f"/proc/{pid}/comm") as f:
                proc = f.read().strip()
            tids = os.listdir(f"/proc/{pid}/task")
        except OSError:
            continue
        for tid in tids:
            try:
                with open(f"/proc/{pid}/task/{tid}/stat") as f:
                    stat = f.read()
            except OSError:
                continue
            comm = stat[stat.index("(") + 1 : stat.rindex(")")]
            fields = stat.rsplit(")", 1)[1].split()
            out[(pid, int(tid))] = (f"{proc}/{comm}", int(fields[11]) + int(fields[12]))
    return out


def pss_mib(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total / 1024


def wait_for(predicate, limit, what):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.02)
    raise RuntimeError(f"timed out waiting for {what}")


def stop(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class Bench:
    def __init__(self, args):
        self.args = args
        self.state = args.state
        self.base = f"http://127.0.0.1:{args.content_port}/kvx_stable"
        self.login = f"http://127.0.0.1:{args.login_port}/tarn/login/"
        self.servers = []
        self.rows = {"client": {}, "chromium": {}}
        self.place = None
        self.xpids = [p for p in args.x_pids if p > 0]

    def serve(self):
        content = os.path.join(self.state, "content")
        shutil.copytree(self.args.content, content)
        bin_dir = os.path.join(content, "kvx_stable/bin")
        os.makedirs(bin_dir, exist_ok=True)
        shutil.copy(self.args.movie, os.path.join(bin_dir, "Kestrune.swf"))
        bench = os.path.join(content, "kvx_stable/bench")
        shutil.copytree(self.args.ruffle, os.path.join(bench, "ruffle"))
        shutil.copy(self.args.movie, os.path.join(bench, "movie.swf"))
        self.bench_dir = bench
        self.login_root = os.path.join(self.state, "login")
        os.makedirs(os.path.join(self.login_root, "tarn/login"))
        server = os.path.join(self.args.source, "tools/content_server.py")
        self.content_log = os.path.join(self.state, "content.log")
        for root, port, log in ((content, self.args.content_port, self.content_log),
                                (self.login_root, self.args.login_port, os.path.join(self.state, "login.log"))):
            self.servers.append(subprocess.Popen(
                ["/usr/bin/python3", server, "--root", root, "--port", str(port), "--log", log],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        for url in (self.base + "/microClient/bg.png", self.login):
            self.auto_login(0)
            wait_for(lambda: subprocess.run(["/usr/bin/curl", "-sf", "-o", "/dev/null", url]).returncode == 0,
                     20, url)

    def auto_login(self, delay):
        entry = self.base + "/entry/?serverid=7&username=Ayla"
        with open(os.path.join(self.login_root, "tarn/login/index.html"), "w") as f:
            f.write(AUTO_LOGIN.format(entry=entry, delay=delay))

    def chromium_page(self):
        x, y, w, h = self.place
        with open(os.path.join(self.bench_dir, "index.html"), "w") as f:
            f.write(CHROMIUM_PAGE.format(x=x, y=y, w=w, h=h,
                                         vars=json.dumps(FLASH_VARS.format(host=self.base))))

    def record(self, who, key, value):
        self.rows[who].setdefault(key, []).append(value)

    def playing(self, who, root):
        """CPU and memory of a movie that plays: settle, then a window."""
        time.sleep(self.args.settle)
        pids = tree(root)
        before = {p: cpu_ticks(p) for p in pids}
        xpids = [p for root in self.xpids for p in tree(root)]
        xbefore = {p: cpu_ticks(p) for p in xpids}
        threads = thread_ticks(pids) if self.args.threads else {}
        start = time.monotonic()
        time.sleep(self.args.window)
        elapsed = time.monotonic() - start
        pids = tree(root)
        used = sum(cpu_ticks(p) - before.get(p, 0) for p in pids)
        xused = sum(cpu_ticks(p) - xbefore[p] for p in xpids)
        self.record(who, "cpu", 100.0 * used / TICKS / elapsed)
        self.record(who, "xcpu", 100.0 * xused / TICKS / elapsed)
        self.record(who, "pss", pss_mib(pids))
        if threads:
            after = thread_ticks(pids)
            busy = sorted(((t - threads.get(k, (n, 0))[1], n) for k, (n, t) in after.items()), reverse=True)
            print(f"  {who} threads: " + ", ".join(f"{n} {100.0 * d / TICKS / elapsed:.1f}%"
                                                  for d, n in busy[:8] if d > 0), flush=True)

    def client(self, delay, measure):
        log = os.path.join(self.state, "client.log")
        if os.path.exists(log):
            os.remove(log)
        shutil.rmtree(os.path.join(os.environ["XDG_DATA_HOME"], "Veltrotarn"), ignore_errors=True)
        self.auto_login(delay)
        env = dict(os.environ, TARNHOLD_LOG=log)
        proc = subprocess.Popen([self.args.client], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            def trace():
                with open(log) as f:
                    return f.read()

            def at(event, text):
                m = re.search(r"^(\d+) " + event, text, re.M)
                return int(m.group(1)) if m else None

            text = wait_for(lambda: os.path.exists(log) and "movie-started" in trace() and trace(), 90,
                            "the client's movie")
            hand_over = at("navigation-cancelled Form2", text)
            started = at("movie-started", text)
            kind = "early" if delay == 0 else "late"
            self.record("client", kind, started - hand_over)
            if delay == 0:
                self.record("client", "drawn", at("painted Form2", text) - at("start", text))
            m = re.search(r"^\d+ player-place \d+ (-?\d+),(-?\d+) (\d+)x(\d+)$", text, re.M)
            if m and self.place is None:
                self.place = tuple(int(g) for g in m.groups())
            if measure:
                self.playing("client", proc.pid)
        finally:
            stop(proc)

    def chromium(self, warm, measure):
        profile = tempfile.mkdtemp(prefix="chromium-", dir=self.state)
        mark = os.path.getsize(self.content_log)
        url = self.base + "/bench/index.html" + ("#warm" if warm else "")
        proc = subprocess.Popen(
            [self.args.chromium, "--no-sandbox", "--no-first-run", "--no-default-browser-check",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--autoplay-policy=no-user-gesture-required", "--password-store=basic",
             "--ozone-platform=x11", f"--user-data-dir={profile}", "--window-position=0,0", "--window-size=1280,800",
             f"--app={url}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            def reported():
                with open(self.content_log) as f:
                    f.seek(mark)
                    m = re.search(r"/bench/report/started/([\d.]+)", f.read())
                return float(m.group(1)) if m else None

            value = wait_for(reported, 90, "Chromium's movie")
            self.record("chromium", "late" if warm else "early", value)
            if measure:
                self.playing("chromium", proc.pid)
        finally:
            os.killpg(proc.pid, signal.SIGTERM)
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
            shutil.rmtree(profile, ignore_errors=True)

    def run(self):
        self.serve()
        try:
            # One unmeasured start lays out the player, whose place Chromium's page copies.
            self.client(0, False)
            self.rows = {"client": {}, "chromium": {}}
            self.chromium_page()
            for n in range(1, self.args.rounds + 1):
                print(f"round {n}", flush=True)
                self.client(0, True)
                self.chromium(False, True)
                self.client(self.args.late_ms, False)
                self.chromium(True, False)
        finally:
            for s in self.servers:
                stop(s)
        self.table()

    def table(self):
        rows = [("early", "first frame after an early login (ms)"),
                ("late", "first frame after a late login (ms)"),
                ("cpu", "CPU while playing, process tree (% of a core)"),
                ("xcpu", "CPU while playing, X server and compositor (%)"),
                ("pss", "PSS while playing (MiB)")]
        print(f"\n{'':50} {'client':>9} {'chromium':>9} {'ratio':>6}")
        for key, label in rows:
            c = statistics.median(self.rows["client"][key])
            r = statistics.median(self.rows["chromium"][key])
            print(f"{label:50} {c:9.1f} {r:9.1f} {c / r if r else float('nan'):6.2f}")
        print(f"{'login page drawn after the start (ms)':50} "
              f"{statistics.median(self.rows['client']['drawn']):9.1f}")
        print("\nevery run:", json.dumps(self.rows))


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--source", required=True)
    p.add_argument("--client", required=True)
    p.add_argument("--chromium", default="/usr/bin/chromium")
    p.add_argument("--ruffle", required=True)
    p.add_argument("--movie", required=True)
    p.add_argument("--content", required=True)
    p.add_argument("--content-port", type=int, required=True)
    p.add_argument("--login-port", type=int, required=True)
    p.add_argument("--state", required=True)
    p.add_argument("--x-pids", type=int, nargs="*", default=[],
                   help="the display's processes (with their children): X server, compositor, shell")
    p.add_argument("--rounds", type=int, default=5)
    p.add_argument("--late-ms", type=int, default=6000)
    p.add_argument("--settle", type=float, default=2.0)
    p.add_argument("--window", type=float, default=20.0)
    p.add_argument("--threads", action="store_true", help="print the busiest threads of each tree")
    Bench(p.parse_args()).run()


if __name__ == "__main__":
    sys.exit(main())
