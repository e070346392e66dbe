#!/usr/bin/env bash
# Checks a Debian package of Olvend the way Debian would:
#
#   tools/package_check.sh PACKAGE.deb
#
#   lintian                      no error (warnings are shown, and pass)
#   desktop-file-validate        the desktop entry in the package
#   appstreamcli validate        the software-centre metadata in the package
#                                (--no-net: no address is fetched)
#
# Installs lintian, desktop-file-utils and appstream when one is missing.
# Exits non-zero when any check finds an error.
set -euo pipefail
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: tools/package_check.sh PACKAGE.deb" >&2
    exit 2
fi
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")

need=()
command -v lintian >/dev/null || need+=(lintian)
command -v desktop-file-validate >/dev/null || need+=(desktop-file-utils)
command -v appstreamcli >/dev/null || need+=(appstream)
if [ ${#need[@]} -gt 0 ]; then
    sudo=()
    if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

failed=()
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== lintian $(basename "$deb")"
# lintian's exit code follows --fail-on; information tags are shown too, and
# every occurrence of a tag (limit 0).
if ! lintian --fail-on error --display-info --tag-display-limit 0 "$deb"; then
    failed+=(lintian)
fi

dpkg-deb -x "$deb" "$work"
mapfile -t desktops < <(find "$work/usr/share/applications" -name '*.desktop' 2>/dev/null)
mapfile -t metainfos < <(find "$work/usr/share/metainfo" -name '*.xml' 2>/dev/null)
if [ ${#desktops[@]} -eq 0 ]; then
    echo "the package holds no desktop entry" >&2
    failed+=(desktop-entry)
fi
if [ ${#metainfos[@]} -eq 0 ]; then
    echo "the package holds no metainfo file" >&2
    failed+=(metainfo)
fi
for f in "${desktops[@]}"; do
    echo "== desktop-file-validate ${f#"$work"}"
    # It prints its findings and, for errors, exits non-zero.
    if ! desktop-file-validate "$f"; then
        failed+=("desktop-file-validate ${f##*/}")
    fi
done
for f in "${metainfos[@]}"; do
    echo "== appstreamcli validate --no-net ${f#"$work"}"
    if ! appstreamcli validate --no-net "$f"; then
        failed+=("appstreamcli ${f##*/}")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "package check FAILED: ${failed[*]}" >&2
    exit 1
fi
echo "package check: passed"
