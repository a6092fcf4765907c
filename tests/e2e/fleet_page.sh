#!/usr/bin/env bash
# The fleet page over what a deployment engine collects: six controllers run
# in turn in the one bed, each one's boot directory collected as its folder
# (an update that drops values, a damaged setup file, a /CHECK that finds a
# damaged configuration, a run cut half-way, an update the control program
# held under /ENGINECODES after a check, a /ROLLBACK), two folders spoilt by
# hand (a damaged run state, nothing collected), fleetreport.exe run on them,
# and the page rendered by headless Chromium: the rows, outcomes, exit codes,
# reasons, releases and dropped values as a browser shows them, what is from
# before the last run, the groups of controllers that need someone first in
# the guide's order, and no address outside the page. The screenshot stays in
# the output.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"

command -v chromium >/dev/null || fail "chromium is not installed (scripts/bootstrap.sh installs it)"
collected="$out/collected"
collect() {
  mkdir -p "$collected/$1"
  cp -r "$D/Velko/Boot/." "$collected/$1/"
}
silent_exit() {
  cp "$transcript" "$out/transcript-$2.txt"
  grep -qx "exit $1" "$transcript" || fail "$2: $(grep '^exit\|^timeout' "$transcript"), expected exit $1"
}
setup_args=(/S)

# Mill-07: an update from the older format: values dropped in both configurations.
clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
place_setup "$transfer_setup"
run_setup
silent_exit 0 dropped
collect Mill-07

# Lathe-02: the same machine, a damaged copy of the setup file.
bad="$out/Setup-damaged.exe"
cp "$transfer_setup" "$bad"
offset=$(($(stat -c %s "$bad") - 24 - 4096))
printf '\x55' | dd of="$bad" bs=1 seek="$offset" conv=notrunc status=none
cmp -s "$transfer_setup" "$bad" && printf '\xAA' | dd of="$bad" bs=1 seek="$offset" conv=notrunc status=none
place_setup "$bad"
run_setup
silent_exit 3 damaged-copy
collect Lathe-02

# Bore-03: Mill-07's machine goes on with the good copy: a /CHECK, then the
# update again under /ENGINECODES while the control program runs (1618): the
# carry report and the check are from before that run, which the control
# program held.
place_setup "$transfer_setup"
setup_args=(/S /CHECK)
run_setup
silent_exit 0 check-after-update
start_control_program
setup_args=(/S /REINSTALL /ENGINECODES /WAIT=2)
run_setup
stop_control_program
silent_exit 1618 control-program
collect Bore-03

# Turn-04: the same machine goes back to the release kept by the update.
setup_args=(/S /ROLLBACK)
run_setup
silent_exit 0 rollback
collect Turn-04

# Grinder-11: /S /CHECK on a machine whose Lathe data file is damaged.
clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" --damaged "${lathe_values[@]}"
place_setup "$transfer_setup"
setup_args=(/S /CHECK)
run_setup
silent_exit 9 check
collect Grinder-11

# Drill-05: an update killed while the package lays the new release.
lay_out_rollback_machine
place_setup "$half_setup"
rm -f "$out/hang"
setup_args=(/S)
TLX_PACKAGE_FAIL_TIMES=9 TLX_PACKAGE_HANG_FILE=$(winpath "$out/hang") start_setup
wait_for_file "$out/hang" 120 || fail "the package never got half-way"
wineserver -k
wait_setup
collect Drill-05

# Saw-09: Mill-07's files with a run state that is no INI file; Press-01:
# a folder the engine created and never filled.
cp -r "$collected/Mill-07" "$collected/Saw-09"
printf 'PK\003\004\024\000\000\000\010\000' >"$collected/Saw-09/SetupState.ini"
mkdir -p "$collected/Press-01"

page="$out/fleet.html"
wine "$TLX_WIN_BIN/fleetreport.exe" "$(winpath "$collected")" "$(winpath "$page")" >"$out/fleetreport.out" 2>&1 ||
  fail "fleetreport: $(cat "$out/fleetreport.out")"
grep -q '^fleetreport: 8 controllers' "$out/fleetreport.out" || fail "fleetreport: $(cat "$out/fleetreport.out")"

# Nothing the page loads or links to lies outside it.
external=$(grep -oiE '(src|href|action|data)[[:space:]]*=[[:space:]]*"[^"#][^"]*"|url\([^)#]|@import|https?://' "$page" || true)
[ -z "$external" ] || fail "the page points outside itself: $external"
pass "fleetreport.exe wrote one page for 8 controller folders, with no address outside itself"

browser() {
  timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$out/chromium" \
    --window-size=1400,1100 "$@" "file://$page" 2>>"$out/chromium.err"
}
browser --dump-dom >"$out/dom.html" || fail "chromium: $(tail -3 "$out/chromium.err")"
browser --screenshot="$out/fleet.png" >/dev/null || fail "chromium screenshot: $(tail -3 "$out/chromium.err")"
[ -s "$out/fleet.png" ] || fail "no screenshot"

python3 - "$out/dom.html" >"$out/rendered.txt" <<'PY' || fail "rendered page: $(cat "$out/rendered.txt")"
import sys
from html.parser import HTMLParser

class Page(HTMLParser):
    """The cell texts of the controllers' rows (nested tables' text stays in their cell), and the groups of
    "Need someone first": their code, reason, count, action and the controllers named."""
    def __init__(self):
        super().__init__()
        self.rows, self.stack, self.cell, self.row, self.shown, self.in_shown = [], [], None, None, "", False
        self.groups, self.group, self.in_names, self.in_action = [], None, False, False
    def top(self):
        return len(self.stack) == 1 and self.stack[0] == "fleet"
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "table":
            self.stack.append(a.get("id", "inner"))
        elif tag == "tr" and self.top():
            self.row = []
        elif tag in ("td", "th") and self.top():
            self.cell = []
        elif tag == "span" and a.get("id") == "shown":
            self.in_shown = True
        elif tag == "details" and "group" in a.get("class", ""):
            self.group = {"code": a["data-code"], "reason": a["data-reason"], "count": int(a["data-count"]),
                          "names": [], "action": ""}
        elif tag == "p" and self.group is not None:
            self.in_names = a.get("class") == "names"
            self.in_action = a.get("class") == "action"
    def handle_endtag(self, tag):
        if tag == "table":
            self.stack.pop()
        elif tag in ("td", "th") and self.top() and self.cell is not None:
            self.row.append(" ".join(" ".join(self.cell).split()))
            self.cell = None
        elif tag == "tr" and self.top() and self.row is not None:
            self.rows.append(self.row)
            self.row = None
        elif tag == "span":
            self.in_shown = False
        elif tag == "p":
            self.in_names = self.in_action = False
        elif tag == "details" and self.group is not None:
            self.groups.append(self.group)
            self.group = None
    def handle_data(self, data):
        if self.cell is not None:
            self.cell.append(data)
        if self.in_shown:
            self.shown += data
        if self.in_names and data.strip():
            self.group["names"].append(data.strip())
        if self.in_action:
            self.group["action"] += data

p = Page()
p.feed(open(sys.argv[1], encoding="utf-8").read())
fleet = {r[0]: r for r in p.rows[1:]}
for name, row in fleet.items():
    print(name, "|", " | ".join(row[1:]))
for g in p.groups:
    print("group:", g["code"], g["reason"], g["count"], g["names"])
print("shown:", p.shown)
# Controller | Installed | Kept | Last run | Outcome | Exit | Reason | Carried | Dropped | New | /CHECK
names = [n.split(" ")[0] for n in fleet]
assert sorted(names) == ["Bore-03", "Drill-05", "Grinder-11", "Lathe-02", "Mill-07", "Press-01", "Saw-09", "Turn-04"], names
row = {n.split(" ")[0]: r for n, r in fleet.items()}
mill = row["Mill-07"]
assert mill[4] == "installed" and mill[5] == "0", mill
assert mill[1].startswith("Transfer 2.0 ") and len(mill[1].split(" ")[-1]) == 8, mill  # the release's name
assert "for Transfer 2.0" in mill[3], mill  # the release the run was for
assert mill[7] == "14" and mill[9] == "2", mill  # Mill and Lathe: 7 carried, 1 new each; from this run
assert mill[8].startswith("6") and "m_fOldGain" in mill[8] and "0.75" in mill[8] and "0.5" in mill[8] \
    and "m_naLimit[3]" in mill[8] and "-4" in mill[8], mill[8]
lathe = row["Lathe-02"]
assert lathe[4] == "setup-file-unusable" and lathe[5] == "3", lathe
assert lathe[1].startswith("Transfer 2.0 "), lathe  # the update before it stays recorded
assert "for Transfer 2.0" in lathe[3], lathe  # the damaged copy's release, though it failed
assert "before the last run" in lathe[7], lathe  # Mill-07's carry, not this run's
grinder = row["Grinder-11"]
assert "不能更新" in grinder[10] and "9" in grinder[10].split(), grinder
assert "for Transfer 2.0" in grinder[10] and "configuration" in grinder[10], grinder
assert "before the last run" not in grinder[10], grinder
bore = row["Bore-03"]
assert bore[4] == "try-again-later" and bore[5] == "1618", bore
assert bore[6].startswith("control program") and "控制程序在2秒后仍在运行" in bore[6], bore  # not another setup
assert "for Transfer 2.0" in bore[3], bore
assert bore[7].startswith("14") and "before the last run" in bore[7], bore  # the carry of the update before
assert "before the last run" in bore[10] and "可以更新" in bore[10], bore  # the check before it
turn = row["Turn-04"]
assert turn[4].startswith("swapped") and "rolled back" in turn[4] and turn[5] == "0", turn
assert "for unknown" in turn[3], turn  # the release it went back to, not the setup file that ran it
drill = row["Drill-05"]
assert drill[4] == "run-cut" and drill[5] == "?", drill
assert drill[6].startswith("last line "), drill  # where the cut run stopped
assert "SetupState.ini is damaged: it is not text" in row["Saw-09"][0], row["Saw-09"]
assert row["Drill-05"][0] == "Drill-05", row["Drill-05"]  # no run ended there to write a run state
assert "neither SetupState.ini nor SetUp.log was collected" in row["Press-01"][0], row["Press-01"]
# Need someone first, one group per what and why, in the guide's order: a cut
# run, files missing or damaged, the check that found a damaged configuration,
# the rolled-back controller (out of the roll-out), the damaged setup file,
# the update the control program held.
order = [(g["code"], g["reason"], sorted(g["names"])) for g in p.groups]
assert order == [("", "last line", ["Drill-05"]), ("", "file", ["Press-01", "Saw-09"]), ("9", "configuration", ["Grinder-11"]),
                 ("0", "", ["Turn-04"]), ("3", "setup file", ["Lathe-02"]), ("1618", "control program", ["Bore-03"])], order
assert "out of the roll-out" in p.groups[3]["action"], p.groups[3]
assert all(g["count"] == len(g["names"]) for g in p.groups), p.groups
assert p.shown.strip() == "8 of 8 shown", p.shown
print("ok")
PY
# The filter box, filled from the page's address as a shared link would.
timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --user-data-dir="$out/chromium" --dump-dom "file://$page#q=m_fOldGain%200.75" \
  2>>"$out/chromium.err" >"$out/dom-filtered.html" || fail "chromium: $(tail -3 "$out/chromium.err")"
python3 - "$out/dom-filtered.html" <<'PY' || fail "filtered page"
import re, sys
dom = open(sys.argv[1], encoding="utf-8").read()
rows = re.findall(r'<tr id="c-\d+" class="[a-z]+" data-text="[^"]*"( hidden="")?><td><span class="dot [a-z]+"></span><b>([^<]+)</b>', dom)
shown = sorted(name for hidden, name in rows if not hidden)
assert len(rows) == 8 and shown == ["Bore-03", "Lathe-02", "Mill-07", "Saw-09", "Turn-04"], rows
assert re.search(r'<span id="shown">5 of 8 shown</span>', dom), re.findall(r'<span id="shown">[^<]*', dom)
PY
pass "the filter box: a dropped value and its old value leave the five controllers whose newest carry report dropped it"
pass "the page as Chromium renders it: Mill-07 installed (0) with its 6 dropped values and their old values, Lathe-02 setup-file-unusable (3) for its release, Grinder-11's check (9) of a damaged configuration, Bore-03 held by the control program (1618) with the carry and check from before that run marked, Turn-04 rolled back and listed, Drill-05's cut run, Saw-09's damaged run state and Press-01's empty folder said so; Need someone first grouped in the guide's order; screenshot fleet.png"
