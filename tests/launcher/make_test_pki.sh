#!/bin/sh
# Makes the certificates of the launcher's test web site in folder $1:
#   ca.pem                       the test certificate authority the launcher is told to trust
#   server.pem, server.key       127.0.0.1's certificate, signed by ca.pem
#   rogue-server.pem/.key        127.0.0.1's certificate, signed by another authority
# Elliptic-curve keys, valid two days: made fresh by every test run.
set -eu
cd "$1"
cat > server.ext <<'EXT'
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1, DNS:localhost
EXT
for who in "" rogue-; do
  openssl req -x509 -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
    -keyout "${who}ca.key" -out "${who}ca.pem" -subj "/CN=Velmora ${who}test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
  openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
    -keyout "${who}server.key" -out "${who}server.csr" -subj "/CN=127.0.0.1" 2>/dev/null
  openssl x509 -req -in "${who}server.csr" -CA "${who}ca.pem" -CAkey "${who}ca.key" \
    -CAcreateserial -days 2 -extfile server.ext -out "${who}server.pem" 2>/dev/null
done
