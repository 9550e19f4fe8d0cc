#!/usr/bin/env bash
# Installs a build tree into a temporary prefix and checks that every installed file is there,
# that the desktop tools accept the desktop entry and the metainfo, and systemd the example unit
# (each skipped when its validator is not installed).
#
#   scripts/check-install.sh BUILD-DIR      (run by ctest as "install")
set -euo pipefail
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
build=${1:?usage: check-install.sh BUILD-DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
for file in bin/vornik bin/vornik-chain bin/vornikctl bin/vornikd lib/systemd/system/vornikd.service \
    share/applications/vornik.desktop share/metainfo/org.vornik.Vornik.metainfo.xml \
    share/icons/hicolor/scalable/apps/vornik.svg share/icons/hicolor/256x256/apps/vornik.png \
    share/doc/vornik/Vornik.rtf share/doc/vornik/Vornik.md share/doc/vornik/README.md \
    share/man/man1/vornik.1 share/man/man1/vornik-chain.1 share/man/man1/vornikctl.1 \
    share/man/man1/vornikd.1 share/doc/vornik/examples/vornikd.conf \
    share/doc/vornik/examples/vornikctl-clock.service \
    share/bash-completion/completions/vornikctl; do
    if [[ ! -s "$prefix/$file" ]]; then
        echo "missing or empty: $file"
        fail=1
    fi
done
# check COMMAND...: the command must succeed; with QUIET=1 it must also say nothing (systemd-analyze
# only warns about what it ignores).
check() {
    if ! command -v "$1" >/dev/null; then
        echo "skipped: $1 is not installed"
        return
    fi
    if ! output=$("$@" 2>&1) || [[ ${QUIET:-0} == 1 && -n $output ]]; then
        echo "refused by $*:"
        echo "$output"
        fail=1
    fi
}
check "$prefix/bin/vornik" --version
check "$prefix/bin/vornik-chain" --help
check "$prefix/bin/vornikd" --help
# The completion as bash loads it: a command's first letters complete it, an option's value too.
completes() {
    bash -c 'source "$1"; COMP_WORDS=(${2}); COMP_CWORD=$((${#COMP_WORDS[@]} - 1));
             _vornikctl; echo "${COMPREPLY[*]}"' sh "$prefix/share/bash-completion/completions/vornikctl" "$1"
}
for case in "vornikctl mes=message" "vornikctl message HI --pad l=last" "vornikctl count --d=--dry-run --delay"; do
    if [[ $(completes "${case%%=*}") != "${case#*=}" ]]; then
        echo "completion of \"${case%%=*}\": \"$(completes "${case%%=*}")\", not \"${case#*=}\""
        fail=1
    fi
done
check desktop-file-validate "$prefix/share/applications/vornik.desktop"
check appstreamcli validate --no-net "$prefix/share/metainfo/org.vornik.Vornik.metainfo.xml"
# The unit as installed, its program where this prefix put it (verify wants it executable).
unit=$prefix/vornikctl-clock.service
sed "s#/usr/bin/vornikctl#$prefix/bin/vornikctl#" \
    "$prefix/share/doc/vornik/examples/vornikctl-clock.service" >"$unit"
QUIET=1 check systemd-analyze verify "$unit"
unit=$prefix/vornikd.service
sed "s#/usr/bin/vornikd#$prefix/bin/vornikd#" "$prefix/lib/systemd/system/vornikd.service" >"$unit"
QUIET=1 check systemd-analyze verify "$unit"
[[ $fail -eq 0 ]] && echo "install: every file in place"
exit $fail
