#!/usr/bin/env bash
# zancli check against servers on 127.0.0.1 only (an HTTP server, a silent listener, a
# refused port), and zancli watch with files created from Linux.
. "$(dirname "$0")/lib.sh"
cd "$WORK"
ZANCLI="$ZAN_BUILD/app/zancli.exe"

# Servers on the loopback address; each prints its port, then serves until killed.
python3 -u - > web.port <<'PY' &
import http.server, socketserver
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(404)
        self.end_headers()
    def log_message(self, *args):
        pass
server = socketserver.TCPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1])
server.serve_forever()
PY
WEB_PID=$!
python3 -u - > plain.port <<'PY' &
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(8)
print(s.getsockname()[1])
while True:
    c, _ = s.accept()
    c.close()
PY
PLAIN_PID=$!
trap 'kill $WEB_PID $PLAIN_PID 2>/dev/null; rm -rf "$WORK"' EXIT
REFUSED=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
for _ in $(seq 50); do [ -s web.port ] && [ -s plain.port ] && break; sleep 0.1; done
WEB=$(cat web.port)
PLAIN=$(cat plain.port)

run_wine "$ZANCLI" check 127.0.0.1 --ports "$REFUSED,$PLAIN,$WEB" --web-port "$WEB" --no-echo > check1.txt 2>&1
code=$?
check "check exits 0 for a valid address" test "$code" = 0
check "the first open port in order is reported" grep -q "A network port is open: $PLAIN" check1.txt
check "the web page's status is read" grep -q 'reachable on port 80. HTTP status: 404' check1.txt
check "the flags line" grep -q "valid=1 ping=0 port=$PLAIN web=1 status=404" check1.txt
check "the advice closes the report" grep -q 'If checks pass but scanning fails' check1.txt

run_wine "$ZANCLI" check 127.0.0.1 --ports "$REFUSED" --web-port "$PLAIN" --no-echo > check2.txt 2>&1
check "a refused port gives the no-port line" grep -q 'Could not connect to common ports' check2.txt
check "a silent listener is no web page" grep -q 'Could not read the web page over HTTP/80.' check2.txt
run_wine "$ZANCLI" check 127.0.0.1.5 > check3.txt 2>&1
code=$?
check "an invalid address exits 1 with the address advice" bash -c "[ $code = 1 ] && grep -q 'Enter a valid IPv4 address' check3.txt"
run_wine "$ZANCLI" check 127.0.0.1 --ports 0 > /dev/null 2>&1
check "a port 0 is a usage error" test $? = 2

# ---- the folder watch, files made from Linux while it runs.
mkdir -p watched
( sleep 2; mkdir watched/sub; : > watched/.keep; sleep 1; echo page > watched/scan0001.pdf ) &
run_wine "$ZANCLI" watch "Z:$(echo "$WORK/watched" | sed 's|/|\\|g')" --timeout-ms 30000 > watch1.txt 2>&1
code=$?
check "a new file ends the watch with its name" bash -c "[ $code = 0 ] && grep -qx 'arrived scan0001.pdf' <(tr -d '\r' < watch1.txt)"
( sleep 2; echo a > watched/a.tmp; sleep 1; mv watched/a.tmp watched/scan.pdf ) &
renamer=$!
run_wine "$ZANCLI" watch "Z:$(echo "$WORK/watched" | sed 's|/|\\|g')" --timeout-ms 30000 > watch2.txt 2>&1
check "a file written then renamed is reported (first name that is a file)" grep -qE '^arrived (a\.tmp|scan\.pdf)' watch2.txt
# The rename above may still be on its way when the second watch ends at the first name.
wait "$renamer"
run_wine "$ZANCLI" watch "Z:$(echo "$WORK/watched" | sed 's|/|\\|g')" --timeout-ms 1500 > watch3.txt 2>&1
check "a quiet folder times out" grep -q '^timeout' watch3.txt
run_wine "$ZANCLI" watch "Z:$(echo "$WORK/missing" | sed 's|/|\\|g')" > watch4.txt 2>&1
check "a missing folder is an error at once" grep -q '^error 3 \|^error 2 ' watch4.txt
finish
