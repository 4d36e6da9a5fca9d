#!/usr/bin/env bash
# Downloads Debian's source package $1 (the .dsc, the upstream tarball and Debian's changes) into
# the folder $2, from the archive the machine already uses. Debian only; needs root (or sudo) to
# add and remove a deb-src entry for that archive. Fails when apt-get source does.
set -euo pipefail
package="$1"
dest="$2"

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

# The source entry lives only while apt-get source runs; the package lists are refreshed again
# after its removal, so that the machine is left as it was.
sources=/etc/apt/sources.list.d/velmorix-$package-src.sources
drop_source_entry() {
    "${sudo_cmd[@]}" rm -f "$sources"
    "${sudo_cmd[@]}" apt-get update -qq
}
sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
    "${sudo_cmd[@]}" tee "$sources" >/dev/null
trap drop_source_entry EXIT
"${sudo_cmd[@]}" apt-get update -qq
mkdir -p "$dest"
(cd "$dest" && apt-get source --download-only -qq "$package")
