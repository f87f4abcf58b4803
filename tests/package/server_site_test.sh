#!/usr/bin/env bash
# Serves the server kit's nginx site, as shipped, from a private nginx on loopback beside a
# default site, as on a shared web server, and asks it what the program asks.
#   server_site_test.sh SOURCE_DIR VERSION_TEXT
set -euo pipefail
source=$1 version_text=$2

tmp=$(mktemp -d /tmp/corvane-site-test.XXXXXX)
# The web root lies below a directory that only its owner may enter, as a checkout below /root or
# a private home directory does: the workers must still read it.
chmod 700 "$tmp"
cp -r "$source/server/www" "$tmp/www"
nginx_pid=
cleanup() {
    if [ -n "$nginx_pid" ]; then
        kill "$nginx_pid" 2>/dev/null || true
        wait "$nginx_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$tmp/error.log" ] && cat "$tmp/error.log" >&2
    exit 1
}

# The site as shipped, on a free loopback port and with the kit's own web root.
while :; do
    port=$((20000 + RANDOM % 20000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
done
# The encrypted variant is on too, as its comment says, with a certificate for the site's name
# that the kit's make-certificates makes.
while :; do
    tls_port=$((20000 + RANDOM % 20000))
    [ "$tls_port" != "$port" ] && ! (exec 3<>"/dev/tcp/127.0.0.1/$tls_port") 2>/dev/null && break
done
name=$(awk '$1 == "server_name" { sub(/;$/, "", $2); print $2 }' "$source/server/nginx/corvane")
"$source/server/make-certificates" "$tmp/tls" "$name" >"$tmp/certificates.log"
sed -e "s|^    listen 80;|    listen 127.0.0.1:$port;|" \
    -e "s|^    root /var/www/corvane;|    root $tmp/www;|" \
    -e "s|^    #listen 443 ssl;|    listen 127.0.0.1:$tls_port ssl;|" \
    -e "s|^    #\(ssl_certificate[_a-z]*\) /etc/nginx/corvane/|    \1 $tmp/tls/|" \
    "$source/server/nginx/corvane" >"$tmp/site"
grep -q "listen 127.0.0.1:$port;" "$tmp/site" && grep -q "root $tmp/www;" "$tmp/site" &&
    grep -q "listen 127.0.0.1:$tls_port ssl;" "$tmp/site" &&
    [ "$(grep -c "^    ssl_certificate[_a-z]* $tmp/tls/server-" "$tmp/site")" = 2 ] ||
    fail "the site's listen, root or ssl lines changed; adjust this test"
[ -n "$name" ] && [ "$name" != _ ] || fail "the site has no server_name of its own"
# The workers run as the user who runs the test, as those of scripts/services.sh do.
cat >"$tmp/nginx.conf" <<CONF
daemon off;
user $(id -un);
pid $tmp/nginx.pid;
error_log $tmp/error.log;
events {}
http {
    access_log off;
    client_body_temp_path $tmp/body;
    proxy_temp_path $tmp/proxy;
    fastcgi_temp_path $tmp/fastcgi;
    uwsgi_temp_path $tmp/uwsgi;
    scgi_temp_path $tmp/scgi;
    # The web server's own default site, which answers every name the others do not take.
    server {
        listen 127.0.0.1:$port default_server;
        return 200 "default site";
    }
    include $tmp/site;
}
CONF
nginx -c "$tmp/nginx.conf" -e "$tmp/error.log" &
nginx_pid=$!
for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    kill -0 "$nginx_pid" 2>/dev/null || fail "nginx did not start"
    sleep 0.05
done

# get PATH [HOST]: the body in $tmp/body.out, the status and content type on standard output.
# The request names the site's host, as the program does, unless HOST says otherwise.
get() {
    curl -s -o "$tmp/body.out" -w '%{http_code} %{content_type}' -H "Host: ${2:-$name}" \
        "http://127.0.0.1:$port$1"
}

# Other names still reach the default site.
get /ip.php other.example.org >/dev/null
[ "$(cat "$tmp/body.out")" = "default site" ] || fail "the site took a name that is not its own"

# The version, byte for byte: a trailing line break would announce an update to every user.
[ "$(get '/app-ext/version.php?os=linux')" = "200 text/plain; charset=utf-8" ] ||
    fail "version.php?os=linux"
printf '%s' "$version_text" | cmp -s - "$tmp/body.out" ||
    fail "version answer is '$(cat "$tmp/body.out")', not exactly '$version_text'"
for query in '?os=win' ''; do
    [ "$(get "/app-ext/version.php$query")" = "404 text/html; charset=utf-8" ] ||
        fail "version.php$query is not refused"
done

[ "$(get /app-ext/changelog.txt)" = "200 text/plain; charset=utf-8" ] || fail "changelog.txt"
cmp -s "$tmp/body.out" "$source/server/www/changelog.txt" || fail "changelog body: $(cat "$tmp/body.out")"
# The update window shows the first 1000 bytes.
[ "$(stat -c %s "$tmp/body.out")" -le 1000 ] || fail "the changelog is longer than 1000 bytes"

[ "$(get /download.php)" = "200 text/html; charset=utf-8" ] || fail "download.php"
version=${version_text%-*}
grep -qF "corvane_${version}_amd64.deb" "$tmp/body.out" ||
    fail "the download page does not offer corvane_${version}_amd64.deb"

[ "$(get /ip.php)" = "200 text/plain; charset=utf-8" ] || fail "ip.php"
[ "$(cat "$tmp/body.out")" = 127.0.0.1 ] || fail "ip.php answered '$(cat "$tmp/body.out")'"

# Over TLS, the certificate verifies for the site's name against the CA that make-certificates
# made, and the answers are the same.
https() {
    curl -s -o "$tmp/body.out" -w '%{http_code}' --cacert "$tmp/tls/ca.pem" \
        --resolve "$name:$tls_port:127.0.0.1" "https://$name:$tls_port$1"
}
[ "$(https '/app-ext/version.php?os=linux')" = 200 ] || fail "version.php over TLS"
printf '%s' "$version_text" | cmp -s - "$tmp/body.out" || fail "version answer over TLS differs"
[ "$(https /ip.php)" = 200 ] && [ "$(cat "$tmp/body.out")" = 127.0.0.1 ] || fail "ip.php over TLS"
# The fingerprint make-certificates printed is the certificate's.
grep -qF "SHA-256 fingerprint: $(openssl x509 -in "$tmp/tls/server-cert.pem" -noout -fingerprint -sha256 | cut -d= -f2)" \
    "$tmp/certificates.log" || fail "make-certificates printed another fingerprint: $(cat "$tmp/certificates.log")"
# Another CA is refused.
curl -s -o /dev/null --resolve "$name:$tls_port:127.0.0.1" "https://$name:$tls_port/ip.php" &&
    fail "the site's certificate verified without its CA"
echo "the site answers as the program expects"
