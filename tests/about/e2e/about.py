"""Drives the About dialog through AT-SPI as a screen reader user would.

Help, About in the running program; the dialog shows the product, the
version, the site and the support address (mirrored when VELMORA_E2E_LCID is
1025); "Send err.log file" hands the archive to the recording mail client,
whose link must name an archive that holds "Err.log" and passes unzip -t.
"""

import os
import subprocess
import sys
import time
import urllib.parse
import zipfile

import pyatspi

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "e2e"))
import atspi  # noqa: E402  the shared polling of tests/e2e

OUT = os.environ["VELMORA_E2E_OUT"]
MIRRORED = os.environ.get("VELMORA_E2E_LCID") == "1025"
RECEIVED = os.path.join(OUT, "received-mail.txt")


def wait_for(probe, what, seconds=30):
    return atspi.wait_for(probe, what, seconds)


def find_where(root, test):
    return pyatspi.findDescendant(root, lambda x: x is not None and test(x))


def action(acc, name):
    act = acc.queryAction()
    names = [act.getName(i) for i in range(act.nActions)]
    if name not in names:
        return False
    act.doAction(names.index(name))
    return True


def extents(acc):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def main():
    app = wait_for(lambda: next(a for a in pyatspi.Registry.getDesktop(0)
                                if a is not None and a.name == "VelmoraFree"), "the program")

    # A menu item that opens a modal dialog never answers its action: open
    # the menu, then click the item.
    help_menu = wait_for(lambda: find_where(
        app, lambda x: x.name in ("Help", "&Help") and x.getRoleName() in ("menu", "menu item")),
        "the Help menu")
    if not action(help_menu, "ShowMenu"):
        atspi.click(help_menu)
    about = wait_for(lambda: find_where(
        app, lambda x: x.name in ("About", "&About", "About...") and x.getRoleName() == "menu item"
        and extents(x)[2] > 0), "Help, About")
    time.sleep(0.2)  # the menu is laid out once it shows
    atspi.click(about)

    dialog = wait_for(lambda: atspi.find(app, "About Velmora Free", "dialog", showing=False),
                      "the About dialog")
    version = wait_for(lambda: find_where(
        dialog, lambda x: x.getRoleName() == "label" and x.name.startswith("Version : ")),
        "the version line")
    assert version.name == "Version : 2.0.0.0", version.name
    site = wait_for(lambda: find_where(
        dialog, lambda x: x.getRoleName() == "label" and x.name.endswith(".example")
        and "@" not in x.name), "the site link")
    mail = wait_for(lambda: find_where(
        dialog, lambda x: x.getRoleName() == "label" and x.name.startswith("support@")),
        "the support link")
    send = wait_for(lambda: atspi.find(dialog, "Send err.log file", "push button", showing=False),
                    "the send button")
    ok = atspi.find(dialog, "Ok", "push button", showing=False)
    print("site:", site.name, "support:", mail.name)

    dx, _, dw, _ = extents(dialog)
    sx, _, sw, _ = extents(send)
    on_right = sx + sw / 2 > dx + dw / 2
    assert on_right == MIRRORED, f"send button at {sx} in a dialog at {dx}+{dw}: mirrored={MIRRORED}"
    shot = os.path.join(OUT, "about-mirrored.png" if MIRRORED else "about.png")
    atspi.screenshot(shot, dialog)
    print("screenshot:", shot)

    atspi.press(send)
    link = wait_for(lambda: os.path.exists(RECEIVED) and open(RECEIVED).read(), "the mail")
    query = urllib.parse.parse_qs(link.split("?", 1)[1])
    assert link.startswith("mailto:" + mail.name + "?"), link
    assert query["subject"] == ["err.log file of Velmora Free"], query
    archive = query["attach"][0]
    assert archive.endswith("/err.log file of Velmora Free.zip"), archive
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        assert [i.filename for i in infos] == ["Err.log"], infos
        assert infos[0].compress_type == zipfile.ZIP_DEFLATED and not infos[0].flag_bits & 1
        assert z.testzip() is None
    subprocess.run(["unzip", "-tq", archive], check=True)
    print("mail received with", archive)

    # The dialog is usable again once the mail client has handed back.
    try:
        wait_for(lambda: send.getState().contains(pyatspi.STATE_ENABLED)
                 and dialog.getState().contains(pyatspi.STATE_ENABLED), "the button back")
    except AssertionError:
        print("button:", send.getState().getStates(), "dialog:", dialog.getState().getStates())
        raise
    atspi.press(ok)
    wait_for(lambda: atspi.find(app, "About Velmora Free", "dialog", showing=False) is None,
             "the dialog to close")
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
