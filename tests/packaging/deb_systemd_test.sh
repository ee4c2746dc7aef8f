#!/usr/bin/env bash
# The package under systemd itself: installs the built .deb with apt-get on a Debian 12 system
# whose first process is systemd (the emulated guest booted so, run-in-guest.sh --systemd), and
# checks the service as its unit runs it: started only once it serves (Type=notify), translating,
# a dynamic user with only CAP_NET_BIND_SERVICE, nothing refused in the journal, an upstream's
# key, the metrics token and the APIs' keys file handed over as credentials the way the options
# file tells an operator (with the upstream down at the start), back after a SIGKILL, its exposure rated as
# the hardening gave it, its corrections kept in the state directory across restarts; then a
# purge that leaves nothing. The guest has no network: apt-get
# takes the package's dependencies from those the image holds.
# usage: deb_systemd_test.sh DEB MAX_EXPOSURE   (as root, systemd the first process)
set -u

name=mirelskan-translation-service
unit=$name.service
options=/etc/default/$name
secrets=/etc/$name
# What a request for en_es answers between the page's markers.
request='/tr?trtext=I+have+a+black+dog&lp=en_es'
translation='<td bgcolor=white class=s><div style=padding:10px;>Tengo un perro negro</div></td>'
# Written by the test, looked for everywhere they must not be.
key=mirelskan-upstream-key-4f1c9a7e
token=mirelskan-metrics-token-b83d20c6
api_key=mirelskan-api-key-70e5d1b2
added_api_key=mirelskan-api-key-c4a93f05
upstream=http://127.0.0.1:5000
# The uids systemd's DynamicUser= takes from.
dynamic_uids='6[1-5][0-9][0-9][0-9]'
# The operator's correction of a line Apertium gets wrong, where the unit's state directory is;
# how it is asked (another first-letter case, no question mark), and its answer in windows-1252.
corrections=/var/lib/$name/corrections.tsv
corrected_request='/tr?trtext=how+are+you&lp=en_es'
corrected=$(printf '<div style=padding:10px;>\277C\363mo est\341s?</div>')
# CAP_NET_BIND_SERVICE (bit 10) and nothing else, as /proc/PID/status shows a set.
only_net_bind_service=0000000000000400

say() { echo "[${SECONDS}s] $*"; }
fail() {
  echo "FAIL: $*"
  echo "--- the unit's journal, its end:"
  journalctl -b -u "$unit" -o short-monotonic --no-pager | tail -n 25
  exit 1
}

[ $# -eq 2 ] || { echo "usage: $0 DEB MAX_EXPOSURE"; exit 2; }
deb=$1
max_exposure=$2
[ "$(cat /proc/1/comm)" = systemd ] ||
  fail "systemd is not the first process here: run me with scripts/guest/run-in-guest.sh --systemd"
[ -f "$deb" ] || fail "no package at $deb"
say "systemd is the first process, $(cut -d' ' -f1 /proc/uptime) s after the boot"
work=$(mktemp -d)
upstream_pid=""
trap '[ -z "$upstream_pid" ] || kill "$upstream_pid" 2>/dev/null; rm -rf "$work"' EXIT

show() { systemctl show -p "$1" --value "$unit"; }
main_pid() { show MainPID; }
get() { curl -sS --max-time 60 "$@"; }

# The checks of a service that systemd reports started: it answers at once (a Type=notify unit
# is active only once the service said it serves), translates, and runs unprivileged.
check_serving() {
  local pid status health page
  [ "$(systemctl is-active "$unit")" = active ] || fail "$unit is $(systemctl is-active "$unit")"
  health=$(get -o /dev/null -w '%{http_code}' http://127.0.0.1:80/health) ||
    fail "active, but /health does not answer"
  # 503 while an upstream is down: the service serves all the same.
  case $health in 200 | 503) ;; *) fail "/health answered $health" ;; esac
  page=$(get "http://127.0.0.1:80$request") || fail "GET $request failed"
  case $page in
    *"$translation"*) ;;
    *) fail "GET $request did not answer the translation: $page" ;;
  esac
  pid=$(main_pid)
  status=$(cat "/proc/$pid/status") || fail "no process $pid"
  grep -Eq "^Uid:[[:space:]]+${dynamic_uids}[[:space:]]" <<<"$status" ||
    fail "the service does not run as a dynamic user: $(grep ^Uid: <<<"$status")"
  for set in CapEff CapPrm CapBnd CapAmb; do
    grep -q "^$set:[[:space:]]*$only_net_bind_service\$" <<<"$status" ||
      fail "$set is not CAP_NET_BIND_SERVICE alone: $(grep "^$set:" <<<"$status")"
  done
  say "active, translating, uid $(awk '/^Uid:/ { print $2 }' <<<"$status"), only CAP_NET_BIND_SERVICE"
}

# Waits until the unit is active under a main process other than $1, or has failed.
wait_restarted() {
  local old=$1 state
  for _ in $(seq 300); do
    state=$(systemctl is-active "$unit")
    [ "$state" = active ] && [ "$(main_pid)" != "$old" ] && return 0
    [ "$state" = failed ] && fail "$unit failed instead of restarting"
    sleep 1
  done
  fail "$unit was not restarted within 300 s (it is $state)"
}

# --- The installation: the postinst starts the unit, and apt-get returns once it has.
# Where apt's unprivileged downloader can read it, as it wants to.
cp "$deb" "$work/package.deb"
chmod 755 "$work"
chmod 644 "$work/package.deb"
apt-get -q -y install "$work/package.deb" >"$work/apt.log" 2>&1 ||
  { tail -n 30 "$work/apt.log"; fail "apt-get install $deb"; }
say "installed $(dpkg-query -W -f='${Package} ${Version}' $name)"
dpkg-query -L $name >"$work/files"
[ "$(show Type)" = notify ] || fail "the unit's Type is $(show Type), not notify"
[ "$(show DynamicUser)" = yes ] || fail "the unit has no DynamicUser"
check_serving

# --- An upstream's key, the metrics token and the APIs' keys, each in a file only root reads,
# handed over as credentials by a drop-in (the options file's steps), with the upstream down at
# the start.
mkdir -p "$secrets"
(umask 077; printf '%s\n' "$key" >"$secrets/libretranslate.key")
(umask 077; printf '%s\n' "$token" >"$secrets/metrics.token")
(umask 077; printf '# who may use the APIs\n%s\n' "$api_key" >"$secrets/api.keys")
printf '[Service]\n%s\n%s\n%s\n' \
  "LoadCredential=libretranslate.key:$secrets/libretranslate.key" \
  "LoadCredential=metrics.token:$secrets/metrics.token" \
  "LoadCredential=api.keys:$secrets/api.keys" >"$work/drop-in"
# systemctl edit opens an editor on the drop-in, on a terminal (script(1) makes one); this
# editor writes what an operator would type.
printf '#!/bin/sh\ncat %s >"$1"\n' "$work/drop-in" >"$work/editor"
chmod +x "$work/editor"
SYSTEMD_EDITOR=$work/editor script -qec "systemctl edit $unit" /dev/null >"$work/edit.log" 2>&1 ||
  { cat "$work/edit.log"; fail "systemctl edit $unit"; }
grep -qxF "LoadCredential=libretranslate.key:$secrets/libretranslate.key" \
  "/etc/systemd/system/$unit.d/override.conf" || fail "systemctl edit wrote no drop-in"
# en_es from Apertium, de_en from the upstream once it answers.
edited="--listen localhost:80 --pairs en_es,de_en"
edited+=" --upstream libretranslate=$upstream,key-credential=libretranslate.key"
edited+=" --metrics-token-credential metrics.token"
edited+=" --api-keys-credential api.keys --require-api-key"
edited+=" --corrections $corrections"
[ -d "/var/lib/$name" ] || fail "the unit's first start made no state directory /var/lib/$name"
printf 'en_es\tHow are you?\t\302\277C\303\263mo est\303\241s?\n' >"$corrections"
sed -i "s|^TRANSLATION_SERVICE_OPTIONS=.*|TRANSLATION_SERVICE_OPTIONS=\"$edited\"|" "$options"
systemctl restart "$unit" || fail "the unit did not start with its credentials and the upstream down"
check_serving

check_corrected() {
  page=$(get "http://127.0.0.1:80$corrected_request") || fail "GET $corrected_request failed"
  [[ "$page" == *"$corrected"* ]] || fail "$1: $corrected_request was not answered the correction"
}
check_corrected "started with its corrections"

# The upstream comes up: a LibreTranslate stand-in that keeps the key each request carried.
cat >"$work/upstream.py" <<'PYTHON'
import http.server, json, sys
class Upstream(http.server.BaseHTTPRequestHandler):
    def answer(self, body):
        data = json.dumps(body).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
    def do_GET(self):
        self.answer([{"code": "de", "name": "German", "targets": ["en"]},
                     {"code": "en", "name": "English", "targets": ["de"]}])
    def do_POST(self):
        request = json.loads(self.rfile.read(int(self.headers["Content-Length"])))
        with open(sys.argv[1], "a") as keys:
            keys.write(request.get("api_key", "(none)") + "\n")
        self.answer({"translatedText": "Good morning"})
    def log_message(self, *args):
        pass
http.server.HTTPServer(("127.0.0.1", 5000), Upstream).serve_forever()
PYTHON
python3 "$work/upstream.py" "$work/keys" &
upstream_pid=$!
# The service asks a down upstream for its languages again every 30 s.
for _ in $(seq 120); do
  page=$(get 'http://127.0.0.1:80/tr?trtext=Guten+Morgen&lp=de_en')
  [[ "$page" == *'Good morning'* ]] && break
  sleep 1
done
[[ "$page" == *'Good morning'* ]] || fail "de_en was not answered by the upstream once it came up"
[ "$(sort -u "$work/keys")" = "$key" ] ||
  fail "the upstream got the key '$(sort -u "$work/keys" | paste -sd ' ')', not the credential's"
say "the upstream, down at the start, got the key from the credential"
[ "$(get -o /dev/null -w '%{http_code}' http://127.0.0.1:80/metrics)" = 401 ] ||
  fail "/metrics answers without the token"
[ "$(get -o /dev/null -w '%{http_code}' -H "Authorization: Bearer $token" \
  http://127.0.0.1:80/metrics)" = 200 ] || fail "/metrics refuses the credential's token"
say "/metrics answers only the credential's token"

# The LibreTranslate API: a key is required, and only the credential's is taken.
translate() {
  get -w ' %{http_code}' -H 'Content-Type: application/json' \
    -d "{\"q\": \"I have a black dog\", \"source\": \"en\", \"target\": \"es\"$1}" \
    http://127.0.0.1:80/translate | tr -d '\n'
}
while IFS='|' read -r fields expected; do
  answer=$(translate "$fields")
  [ "$answer" = "$expected" ] || fail "/translate with '$fields' answered '$answer', not '$expected'"
done <<TABLE
|{"error":"Please contact the server operator to get an API key"} 400
, "api_key": "not-$api_key"|{"error":"Invalid API key"} 403
, "api_key": "$api_key"|{"translatedText":"Tengo un perro negro"} 200
TABLE
say "the APIs take only the key the credential holds"

# Neither secret on any command line or in any log. grep reads them from a file, so that its
# own command line holds neither.
printf '%s\n' "$key" "$token" "$api_key" "$added_api_key" >"$work/secrets"
holders=$(grep -lF -f "$work/secrets" /proc/[0-9]*/cmdline 2>/dev/null)
[ -z "$holders" ] || fail "a command line holds a secret: $holders"
journalctl -b -o verbose --no-pager | grep -qF -f "$work/secrets" && fail "the journal holds a secret"
grep -rlF -f "$work/secrets" /var/log 2>/dev/null | grep -q . && fail "a file under /var/log holds a secret"
say "no secret on a command line or in a log"

# A key added to the credential's file: a reload reads again the copy systemd made at the
# start, and says that an edit takes a restart.
printf '%s\n' "$added_api_key" >>"$secrets/api.keys"
systemctl reload "$unit" || fail "systemctl reload $unit"
# systemd 252 does not wait for the service to have read them.
for _ in $(seq 30); do
  journalctl -b -u "$unit" -o cat --no-pager | grep -q 'API keys read again: 1 .*takes a restart' &&
    break
  sleep 1
done
journalctl -b -u "$unit" -o cat --no-pager | grep -q 'API keys read again: 1 .*takes a restart' ||
  fail "the reload did not say that the credential's edit takes a restart"
answer=$(translate ", \"api_key\": \"$added_api_key\"")
[ "$answer" = '{"error":"Invalid API key"} 403' ] || fail "a reload took the added key: $answer"
say "a reload keeps the credential's copy, and says an edit takes a restart"

# --- A crash: systemd starts it again, and it serves, with the credential copied afresh.
pid=$(main_pid)
kill -KILL "$pid"
wait_restarted "$pid"
[ "$(show NRestarts)" = 1 ] || fail "NRestarts is $(show NRestarts) after one SIGKILL"
check_serving
answer=$(translate ", \"api_key\": \"$added_api_key\"")
[ "$answer" = '{"translatedText":"Tengo un perro negro"} 200' ] ||
  fail "the key added before the restart was not taken: $answer"
check_corrected "restarted"
say "restarted after SIGKILL, with the key added to the credential's file and the corrections"

# --- Nothing the sandbox refused, no core dump; the exposure as the hardening left it.
refused=$({
  journalctl -b -o cat --no-pager -u "$unit" |
    grep -Ei 'seccomp|SIGSYS|bad system call|core.?dump|code=dumped|permission denied|not permitted'
  # The kernel's word for a system call the filter killed (an audit record of type 1326), or for
  # a crash.
  journalctl -b -k -o cat --no-pager | grep -E 'type=1326|segfault|traps:'
})
[ -z "$refused" ] || fail "the journal shows the sandbox refusing: $refused"
tenths=$(awk -v max="$max_exposure" 'BEGIN { printf "%d", max * 10 + 0.5 }')
report=$(systemd-analyze security --threshold="$tenths" "$unit" 2>&1) ||
  { echo "$report" | tail -n 15; fail "the exposure is above $max_exposure"; }
say "$(grep -o 'Overall exposure.*' <<<"$report")"

# --- The purge: the package's files, its unit and its enable state go. What the operator made
# (the drop-in, the secrets) is the operator's.
apt-get -q -y purge $name >"$work/apt.log" 2>&1 || { tail -n 30 "$work/apt.log"; fail "apt-get purge"; }
pgrep -f /usr/bin/translation-service >/dev/null && fail "the service still runs after the purge"
rm -rf "/etc/systemd/system/$unit.d" "$secrets"
systemctl daemon-reload
while read -r path; do
  [ -d "$path" ] || [ ! -e "$path" ] || fail "$path is still there after the purge"
done <"$work/files"
[ "$(show LoadState)" = not-found ] || fail "systemd still has $unit: $(show LoadState)"
systemctl list-unit-files --all --no-legend | grep -q "$name" &&
  fail "a unit file is left: $(systemctl list-unit-files --all --no-legend | grep "$name")"
left=$(find /etc /usr /var/lib -xdev -iname "*$name*" 2>/dev/null)
[ -z "$left" ] || fail "left after the purge: $left"
mentions=$(grep -rl "$name" /etc /var/lib/systemd 2>/dev/null)
[ -z "$mentions" ] || fail "files that still name the package after the purge: $mentions"
say "purged: nothing of $name left"
