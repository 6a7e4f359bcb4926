#!/usr/bin/python3
# A browser (Debian's chromium or firefox-esr, on Wayland) showing a local page with one text
# area, for the insertion tests: like vesk_textclient, the text area's value goes to the file
# named on the command line after each change, and "ready" is printed once the text area has
# the keyboard focus. The page posts to a server of this script's own on 127.0.0.1; the browser
# is kept off every other address (a proxy that refuses, and its background services off).
import http.server
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading

output, browser = sys.argv[1], sys.argv[2]

PAGE = b"""<!doctype html><html><head><meta charset="utf-8"><title>vesk browser client</title>
<style>textarea { width: 95vw; height: 80vh; font-size: 16px; }</style></head><body>
<textarea id="t" autofocus></textarea>
<script>
const t = document.getElementById("t");
let seq = 0;
function post(path, body) {
  fetch(path, {method: "POST", body: body,
               headers: {"Content-Type": "text/plain;charset=utf-8"}});
}
t.addEventListener("input", () => post("/value?" + (++seq), t.value));
setInterval(() => {
  if (document.activeElement !== t) t.focus();
  if (document.activeElement === t) post("/ready", String(document.hasFocus()));
}, 100);
</script></body></html>"""

state = {"seq": -1, "ready": False}
lock = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(PAGE)))
        self.end_headers()
        self.wfile.write(PAGE)

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        self.send_response(204)
        self.end_headers()
        path, _, query = self.path.partition("?")
        with lock:
            if path == "/ready" and not state["ready"]:
                state["ready"] = True
                print("ready", flush=True)
            elif path == "/value" and int(query) > state["seq"]:
                # Requests may overtake each other: the latest change wins.
                state["seq"] = int(query)
                temporary = output + ".tmp"
                with open(temporary, "wb") as f:
                    f.write(body)
                os.replace(temporary, output)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
threading.Thread(target=server.serve_forever, daemon=True).start()
url = "http://127.0.0.1:%d/" % server.server_address[1]
profile = tempfile.mkdtemp(prefix="vesk-browser.")
env = dict(os.environ)
if browser == "chromium":
    command = ["chromium", "--ozone-platform=wayland", "--no-first-run",
               "--no-default-browser-check", "--disable-background-networking",
               "--disable-component-update", "--disable-sync", "--disable-quic",
               "--disable-gpu", "--password-store=basic", "--disable-features=Translate",
               "--proxy-server=127.0.0.1:9", "--user-data-dir=" + profile, "--app=" + url]
    if os.geteuid() == 0:
        command.insert(1, "--no-sandbox")
else:
    prefs = {
        "network.proxy.type": 1, "network.proxy.http": '"127.0.0.1"',
        "network.proxy.http_port": 9, "network.proxy.ssl": '"127.0.0.1"',
        "network.proxy.ssl_port": 9, "network.proxy.allow_hijacking_localhost": "false",
        "network.captive-portal-service.enabled": "false",
        "network.connectivity-service.enabled": "false", "network.dns.disablePrefetch": "true",
        "network.prefetch-next": "false", "app.update.enabled": "false",
        "app.normandy.enabled": "false", "datareporting.policy.dataSubmissionEnabled": "false",
        "datareporting.healthreport.uploadEnabled": "false",
        "toolkit.telemetry.enabled": "false", "browser.safebrowsing.malware.enabled": "false",
        "browser.safebrowsing.phishing.enabled": "false",
        "browser.safebrowsing.downloads.enabled": "false",
        "extensions.update.enabled": "false", "extensions.getAddons.cache.enabled": "false",
        "browser.shell.checkDefaultBrowser": "false",
        "browser.aboutwelcome.enabled": "false",
        "browser.startup.homepage_override.mstone": '"ignore"',
        "browser.newtabpage.activity-stream.feeds.topsites": "false",
        "browser.region.update.enabled": "false", "browser.search.update": "false",
        "services.settings.server": '"http://127.0.0.1:9/"',
        "browser.tabs.warnOnClose": "false", "dom.disable_open_during_load": "false",
    }
    with open(os.path.join(profile, "user.js"), "w") as f:
        for key, value in prefs.items():
            f.write('user_pref("%s", %s);\n' % (key, value))
    env["MOZ_ENABLE_WAYLAND"] = "1"
    command = ["firefox-esr", "--no-remote", "--profile", profile, "--kiosk", url]


log = open(os.path.join(profile, "browser.log"), "wb")


def launch():
    return subprocess.Popen(command, env=env, stdout=log, stderr=log, start_new_session=True)


child = launch()


def stop(*_):
    # No wait here: the handler may interrupt the main thread's own wait for the child.
    try:
        os.killpg(child.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    shutil.rmtree(profile, ignore_errors=True)
    os._exit(0)


signal.signal(signal.SIGTERM, stop)
signal.signal(signal.SIGINT, stop)
# Now and then a browser started right after another one ends at once, before showing anything:
# it is started again.
for _ in range(3):
    child.wait()
    with lock:
        if state["ready"]:
            break
    with open(log.name, "rb") as f:
        sys.stderr.write("browser ended before its page had the focus:\n" +
                         f.read()[-2000:].decode(errors="replace"))
    child = launch()
child.wait()
stop()
