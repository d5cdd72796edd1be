#!/bin/sh
# End-to-end run of the About dialog through the accessibility tree.
#   run.sh PROGRAM OUTDIR [--lcid N]
# PROGRAM is the test host or the main program (build/bin/VelmoraFree): any
# program named "VelmoraFree" on the accessibility bus whose Help menu has
# About. The run gets a home of its own: its "Err.log", its registry store
# ("LCID" set through velmora-cli when --lcid is given) and a recording mail
# client registered through xdg-mime. OUTDIR receives the screenshots and
# the mail link the client was given.
set -eu
program=$(realpath "$1")
out=$2
shift 2
lcid=""
if [ "${1:-}" = "--lcid" ]; then lcid=$2; fi
here=$(cd "$(dirname "$0")" && pwd)
bindir=${VELMORA_BIN_DIR:-$(dirname "$program")}

rm -rf "$out"
mkdir -p "$out"
out=$(realpath "$out")
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/run" TMPDIR="$home/tmp"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_CACHE_HOME" "$TMPDIR"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# xdg-email on no desktop of its own, and no browser to fall back on.
export BROWSER=/nonexistent/velmora-e2e-browser XDG_CURRENT_DESKTOP= DESKTOP_SESSION= MAILER= \
  KDE_FULL_SESSION= GNOME_DESKTOP_SESSION_ID= LANG=C.UTF-8 LC_ALL= LC_MESSAGES= LANGUAGE=

mkdir -p "$XDG_DATA_HOME/Velmora Free"
printf 'a report of the e2e run\r\n' > "$XDG_DATA_HOME/Velmora Free/Err.log"

cat > "$home/mail-client" <<CLIENT
#!/bin/sh
printf '%s' "\$1" > '$out/received-mail.txt'
CLIENT
chmod 700 "$home/mail-client"
cat > "$XDG_DATA_HOME/applications/velmora-e2e-mail.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Recording mail client
Exec=$home/mail-client %u
MimeType=x-scheme-handler/mailto;
DESKTOP
xdg-mime default velmora-e2e-mail.desktop x-scheme-handler/mailto

if [ -n "$lcid" ]; then
  "$bindir/velmora-cli" reg add 'HKCU\Software\Velmora Free' /v LCID /t REG_DWORD /d "$lcid" /f
fi

export VELMORA_E2E_OUT="$out" VELMORA_E2E_LCID="$lcid" VELMORA_E2E_PROGRAM="$program"
exec "$here/../../e2e/xsession.sh" sh "$here/session.sh"
