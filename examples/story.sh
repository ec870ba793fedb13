#!/usr/bin/env bash
# An administrator's story, told with vorla and the object layer: a new tree,
# fifty users from a CSV file, a search, a change refused and then allowed
# once rights are granted, the subtree exported to LDIF and imported into a
# second tree.  The Admin logs in with the password the tree was made with.
#
#   bash examples/story.sh        (from the repo root, after scripts/build)
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
vorla() { perl -Mblib bin/vorla "$@"; }
step() { printf '\n== %s\n' "$*"; }
export NWCLIENT_STORE="$work/tree.db"
unset NWCLIENT_ADMIN_PASSWORD NWCLIENT_NAME_CONTEXT NWCLIENT_FAULTS NWCLIENT_TRACE
umask 077
echo 'admin-pw' > "$work/admin.pw"
echo 'pw-jdoe0-000' > "$work/jdoe0.pw"
admin=(-D CN=Admin.O=Example -y "$work/admin.pw")

step "A new tree (on a terminal the Admin's password is asked for without echo)"
vorla create < "$work/admin.pw"

step "Fifty users from examples/users.csv, with their passwords and groups"
ADMIN_PASSWORD=admin-pw perl -Mblib examples/add_users.pl examples/users.csv OU=Sales

step "Who is called Doe? (asked by the Admin; a context that has not logged in may only browse)"
vorla "${admin[@]}" search -t -b OU=Sales.O=Example '(Surname=Doe)' 'Given Name' Surname 'Telephone Number'

change="dn: CN=mdoe13.OU=Sales.O=Example
changetype: modify
replace: Telephone-Number
Telephone-Number: 555-7777
-"
step "jdoe0 tries to change a colleague's telephone number"
echo "$change" | vorla -D CN=jdoe0.OU=Sales.O=Example -y "$work/jdoe0.pw" modify || echo "(refused)"
step "The Admin grants jdoe0 rights on OU=Sales, and jdoe0 tries again"
ADMIN_PASSWORD=admin-pw perl -Mblib examples/grant.pl OU=Sales CN=jdoe0.OU=Sales
echo "$change" | vorla -D CN=jdoe0.OU=Sales.O=Example -y "$work/jdoe0.pw" modify

step "OU=Sales exported to LDIF (the first entries)"
vorla "${admin[@]}" export -b OU=Sales.O=Example -o "$work/sales.ldif"
sed -n '1,16p' "$work/sales.ldif"

step "...and imported into a second tree (a progress bar on a terminal)"
vorla -s "$work/copy.db" create < "$work/admin.pw"
vorla -s "$work/copy.db" "${admin[@]}" import "$work/sales.ldif"
vorla -s "$work/copy.db" "${admin[@]}" search -t -b OU=Sales.O=Example '(Surname=Doe)' Surname 'Telephone Number'
