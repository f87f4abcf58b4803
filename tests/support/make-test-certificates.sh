#!/usr/bin/env bash
# Server certificates that a client with TLS required must refuse, made with openssl:
#   make-test-certificates.sh CA_DIR OUT_DIR
# CA_DIR holds the test server's CA (ca.pem, ca-key.pem, as server/make-certificates makes it).
# Each of these directories of OUT_DIR gets a server-cert.pem and a server-key.pem:
#   other-ca/     for 127.0.0.1, signed by a CA of its own
#   other-host/   signed by the test server's CA, for db.example.org only
#   expired/      signed by the test server's CA, for 127.0.0.1, valid through 2024 only
set -euo pipefail
ca=${1:?usage: make-test-certificates.sh CA_DIR OUT_DIR}
out=${2:?usage: make-test-certificates.sh CA_DIR OUT_DIR}
kit=$(cd "$(dirname "$0")/../../server" && pwd)
mkdir -p "$out/other-host" "$out/expired/ca"
"$kit/make-certificates" "$out/other-ca" 127.0.0.1 >/dev/null
cp "$ca/ca.pem" "$ca/ca-key.pem" "$out/other-host/"
"$kit/make-certificates" "$out/other-host" db.example.org >/dev/null

# openssl x509 cannot date a certificate in the past; its small CA command can.
cd "$out/expired"
: >ca/index.txt
echo 01 >ca/serial
cat >ca/ca.cnf <<CONF
[ca]
default_ca = test
[test]
database = ca/index.txt
new_certs_dir = ca
serial = ca/serial
default_md = sha256
policy = any
[any]
commonName = supplied
CONF
printf 'subjectAltName = IP:127.0.0.1\nextendedKeyUsage = serverAuth\n' >ca/extensions
openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout server-key.pem \
    -out ca/server.csr -subj /CN=127.0.0.1 2>/dev/null
openssl ca -batch -config ca/ca.cnf -cert "$ca/ca.pem" -keyfile "$ca/ca-key.pem" \
    -in ca/server.csr -out server-cert.pem -startdate 20240101000000Z -enddate 20241231235959Z \
    -extfile ca/extensions -notext 2>/dev/null
