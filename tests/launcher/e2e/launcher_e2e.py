#!/usr/bin/python3
"""VelmoraFreeLauncher as a user meets it, driven through AT-SPI on a real X
server (run inside tests/e2e/xsession.sh, with DISPLAY set).

usage: launcher_e2e.py BIN_DIR [SCREENSHOT_DIR]

BIN_DIR holds VelmoraFreeLauncher-test (the launcher with the test seams:
settings address and certificate authority from the environment),
velmora-cli and launcher_record_start (a stand-in for the main program and
the installer that records its start). Each scenario gets a home of its own.
"""
import json
import os
import subprocess
import sys
import tempfile
import time

import pyatspi

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "e2e"))
import atspi  # noqa: E402  the shared polling of tests/e2e

BIN = os.path.abspath(sys.argv[1])
SHOTS = sys.argv[2] if len(sys.argv) > 2 else None
PASSWORD = "pelvin_Quorat"
QUESTION = "New version of Velmora Free available."


def wait_for(probe, seconds=20, what="condition"):
    return atspi.wait_for(probe, what, seconds)


def shot(name):
    """The whole screen into SHOTS/name.png, when a folder is given."""
    if SHOTS:
        os.makedirs(SHOTS, exist_ok=True)
        atspi.screenshot(os.path.join(SHOTS, name + ".png"))


def centre_brightness():
    """Mean brightness (0 to 1) of the screen's central 256 x 256 square."""
    out = subprocess.run("import -window root -crop 256x256+384+256 +repage -colorspace gray "
                         "-format '%[fx:mean]' info:", shell=True, capture_output=True, text=True)
    return float(out.stdout or 0)


def grab(box):
    """The screen's pixels inside an accessible's extents."""
    return subprocess.run(["import", "-window", "root", "-crop",
                           "%dx%d+%d+%d" % (box.width, box.height, box.x, box.y), "+repage", "rgb:-"],
                          capture_output=True, check=True).stdout


class Site:
    """https_site.py on 127.0.0.1 with a certificate of the test CA (or a rogue one)."""

    def __init__(self, pki, rogue=False):
        self.root = tempfile.mkdtemp(prefix="velmora-site-")
        prefix = "rogue-" if rogue else ""
        self.proc = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(HERE, "..", "https_site.py"),
             os.path.join(pki, prefix + "server.pem"), os.path.join(pki, prefix + "server.key"), self.root],
            stdout=subprocess.PIPE, text=True)
        self.port = int(self.proc.stdout.readline().split()[1])
        self.routes = {}

    def url(self, path):
        return "https://127.0.0.1:%d%s" % (self.port, path)

    def put(self, name, data):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    def route(self, path, behaviour):
        self.routes[path] = behaviour
        with open(os.path.join(self.root, "routes.json"), "w") as f:
            json.dump(self.routes, f)

    def requests(self):
        try:
            with open(os.path.join(self.root, "requests.log")) as f:
                return f.read().split()
        except FileNotFoundError:
            return []

    def publish(self, version, setup_url):
        """settings.bin made by Info-ZIP's zip -P, as the site publishes it."""
        work = tempfile.mkdtemp()
        with open(os.path.join(work, "settings.xml"), "w") as f:
            f.write('<?xml version="1.0"?><Products><Product Name="Velmora Free" Version="%s" '
                    'SetupURL="%s"/></Products>' % (version, setup_url))
        subprocess.run(["zip", "-q", "-j", "-P", PASSWORD, os.path.join(work, "settings.bin"),
                        os.path.join(work, "settings.xml")], check=True)
        with open(os.path.join(work, "settings.bin"), "rb") as f:
            self.put("download/settings.bin", f.read())

    def stop(self):
        self.proc.kill()
        self.proc.wait()


class Launch:
    """One run of the launcher in a fresh home, with the stand-in main program installed."""

    def __init__(self, settings_url, pki):
        self.home = tempfile.mkdtemp(prefix="velmora-home-")
        self.env = dict(os.environ, HOME=self.home,
                        XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                        XDG_DATA_HOME=os.path.join(self.home, ".local/share"),
                        XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
                        VELMORA_TEST_SETTINGS_URL=settings_url,
                        VELMORA_TEST_CA_FILE=os.path.join(pki, "ca.pem"))
        # The product data folder's name has a blank: programs there must start all the same.
        self.data = os.path.join(self.home, ".local/share/Velmora Free")
        install = os.path.join(self.home, "opt/Velmora Free")
        os.makedirs(install)
        self.main = os.path.join(install, "VelmoraFree")
        with open(os.path.join(BIN, "launcher_record_start"), "rb") as src, open(self.main, "wb") as dst:
            dst.write(src.read())
        os.chmod(self.main, 0o755)
        subprocess.run([os.path.join(BIN, "velmora-cli"), "reg", "add", r"HKCU\Software\Velmora Free",
                        "/v", "InstallPath", "/d", install, "/f"], env=self.env, check=True,
                       stdout=subprocess.DEVNULL)
        self.started = time.time()
        self.proc = subprocess.Popen([os.path.join(BIN, "VelmoraFreeLauncher-test")], env=self.env,
                                     stderr=subprocess.PIPE, text=True)

    def app(self):
        return wait_for(lambda: next(a for a in pyatspi.Registry.getDesktop(0)
                                     if a and a.name == "VelmoraFreeLauncher" and a.get_process_id() == self.proc.pid),
                        what="the launcher in the accessibility tree")

    def find(self, name, role):
        return atspi.find(self.app(), name, role, showing=False)

    def alert(self):
        return pyatspi.findDescendant(self.app(), lambda x: x and x.getRoleName() == "alert")

    def started_program(self, path):
        return os.path.exists(path + ".started")

    def finish(self):
        """The launcher ends by itself after starting a program."""
        try:
            self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise AssertionError("the launcher did not end")
        err = self.proc.stderr.read()
        assert self.proc.returncode == 0, "launcher exit %d: %s" % (self.proc.returncode, err[-3000:])

    def log(self):
        try:
            with open(os.path.join(self.data, "Err.log"), "rb") as f:
                return f.read().decode("utf-16-le")
        except FileNotFoundError:
            return ""


def text_of(alert):
    labels = []
    def walk(node):
        for child in node:
            if child.getRoleName() == "label":
                labels.append(child.name)
            walk(child)
    walk(alert)
    return "\n".join(labels)


def site_unreachable(pki):
    launch = Launch("https://127.0.0.1:1/download/settings.bin", pki)
    # A plain top-level widget: AT-SPI calls its role "filler".
    splash = wait_for(lambda: launch.find("Splash", "filler"), what="the splash window")
    assert splash.getState().contains(pyatspi.STATE_SHOWING), "splash not showing"
    # The picture is on the screen: the 256 x 256 square at the centre is not black
    # (no compositing manager runs here, so this also proves the window's shape).
    wait_for(lambda: centre_brightness() > 0.2, seconds=5, what="the splash picture on the screen")
    shot("launcher-splash")
    wait_for(lambda: launch.started_program(launch.main), seconds=10, what="the main program's start")
    took = time.time() - launch.started
    assert took < 3.5, "main program started after %.1f s" % took
    launch.finish()
    print("site unreachable: splash shown, main program started after %.2f s" % took)


def offer_answered(pki, answer):
    site = Site(pki)
    try:
        installer = open(os.path.join(BIN, "launcher_record_start"), "rb").read()
        site.put("files/setup.bin", installer)
        # About three seconds of download, so that the bar can be seen moving.
        site.route("/download/VelmoraFreeSetup.bin",
                   {"file": "files/setup.bin", "chunk": max(1, len(installer) // 30), "pause": 0.1})
        site.publish("2.0.0.1", site.url("/download/VelmoraFreeSetup.bin"))
        launch = Launch(site.url("/download/settings.bin"), pki)
        alert = wait_for(launch.alert, what="the update question")
        assert QUESTION in text_of(alert), text_of(alert)
        if answer == "Yes":
            shot("launcher-offer")
        button = wait_for(lambda: pyatspi.findDescendant(
            alert, lambda x: x and x.getRoleName() == "push button" and x.name.replace("&", "") == answer),
            what="the " + answer + " button")
        atspi.press(button)
        installer_path = os.path.join(launch.data, "VelmoraFreeSetup.bin")
        if answer == "Yes":
            bar = wait_for(lambda: (lambda b: b if b and b.getState().contains(pyatspi.STATE_SHOWING) else None)(
                launch.find("Download progress", "progress bar")), what="the download bar")
            cancel = launch.find("Cancel", "push button")
            assert cancel and cancel.getState().contains(pyatspi.STATE_SHOWING), "no Cancel beside the bar"
            assert not os.path.exists(installer_path), "installer written before its download completed"
            # Marquee: the bar's pixels change while the download runs.
            box = bar.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            first = grab(box)
            wait_for(lambda: grab(box) != first, seconds=2, what="the bar to move")
            shot("launcher-download")
            wait_for(lambda: launch.started_program(installer_path), what="the installer's start")
            assert open(installer_path, "rb").read() == installer
            assert os.stat(installer_path).st_mode & 0o777 == 0o700
            launch.finish()
            assert not launch.started_program(launch.main), "main program started after Yes"
            print("offer answered Yes: bar shown during the download, installer started")
        else:
            wait_for(lambda: launch.started_program(launch.main), what="the main program's start")
            launch.finish()
            assert not os.path.exists(installer_path)
            assert "/download/VelmoraFreeSetup.bin" not in site.requests()
            print("offer answered No: main program started, nothing downloaded")
    finally:
        site.stop()


def untrusted_site(pki):
    site = Site(pki, rogue=True)
    try:
        site.put("download/setup.bin", b"never")
        site.publish("9.0.0.0", site.url("/download/setup.bin"))
        launch = Launch(site.url("/download/settings.bin"), pki)
        wait_for(lambda: launch.started_program(launch.main), what="the main program's start")
        launch.finish()
        # An offer would have kept the launcher waiting on its question: it ended.
        assert "/download/setup.bin" not in site.requests(), "installer fetched from an untrusted site"
        assert ":0001 [MainForm Error]: EDownloadError" in launch.log(), launch.log()
        assert "settings.bin" not in os.listdir(launch.data)
        print("untrusted certificate: no offer, no download, main program started")
    finally:
        site.stop()


def main():
    pki = tempfile.mkdtemp(prefix="velmora-pki-")
    subprocess.run(["sh", os.path.join(HERE, "..", "make_test_pki.sh"), pki], check=True)
    site_unreachable(pki)
    offer_answered(pki, "No")
    offer_answered(pki, "Yes")
    untrusted_site(pki)


if __name__ == "__main__":
    main()
