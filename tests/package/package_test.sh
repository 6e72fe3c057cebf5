#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it as Debian and a user would: lintian,
# the desktop entry and AppStream validators, the file list, and the programs, manual pages,
# completion and help pages unpacked into a temporary root.
#   package_test.sh BUILD_DIR VERSION DEMO_STORE
set -uo pipefail

build=$1 version=$2 demo=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

echo "== cpack"
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
deb="$work/out/tarvolin-ost2eml_${version}_$(dpkg --print-architecture).deb"
[[ -f $deb ]] || { ls "$work/out"; echo "FAIL: no $deb"; exit 1; }

echo "== control"
control=$(dpkg-deb --field "$deb")
echo "$control" | grep -E '^(Package|Version|Depends|Section):'
[[ $(dpkg-deb --field "$deb" Version) == "$version" ]] || fail "package version is not $version"
# shlibdeps names the libraries that the programs link.
for library in libqt6core6 libqt6webenginewidgets6 libgmime-3.0 libvmime1 libpff1 libc6; do
  dpkg-deb --field "$deb" Depends | grep -q "$library" || fail "Depends lacks $library"
done

echo "== contents"
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for path in \
  /usr/bin/ost2eml /usr/bin/tarvolin-ost2eml \
  /usr/share/applications/tarvolin-ost2eml.desktop \
  /usr/share/mime/packages/tarvolin-ost2eml.xml \
  /usr/share/icons/hicolor/16x16/apps/tarvolin-ost2eml.png \
  /usr/share/icons/hicolor/32x32/apps/tarvolin-ost2eml.png \
  /usr/share/icons/hicolor/48x48/apps/tarvolin-ost2eml.png \
  /usr/share/icons/hicolor/128x128/apps/tarvolin-ost2eml.png \
  /usr/share/icons/hicolor/256x256/apps/tarvolin-ost2eml.png \
  /usr/share/tarvolin-ost2eml/help/index.html /usr/share/tarvolin-ost2eml/help/help.css \
  /usr/share/man/man1/ost2eml.1.gz /usr/share/man/man1/tarvolin-ost2eml.1.gz \
  /usr/share/bash-completion/completions/ost2eml \
  /usr/share/metainfo/example.tarvolin.ost2eml.metainfo.xml \
  /usr/share/doc/tarvolin-ost2eml/copyright /usr/share/doc/tarvolin-ost2eml/changelog.gz; do
  grep -qx "$path" "$work/contents" || fail "the package lacks $path"
done

echo "== lintian"
# Errors fail; warnings and the rest are shown.
lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"

root="$work/root"
dpkg-deb -x "$deb" "$root"

echo "== desktop entry, MIME type, AppStream"
output=$(desktop-file-validate "$root/usr/share/applications/tarvolin-ost2eml.desktop" 2>&1)
[[ -z $output ]] || fail "desktop-file-validate: $output"
grep -q 'MimeType=application/vnd.ms-outlook-ost;' "$root/usr/share/applications/tarvolin-ost2eml.desktop" ||
  fail "the desktop entry does not open .ost files"
# The MIME type recognises the demo store by its magic, whatever its name.
mkdir -p "$work/mime/packages"
cp "$root/usr/share/mime/packages/tarvolin-ost2eml.xml" "$work/mime/packages/"
if update-mime-database "$work/mime" 2>"$work/mime.log"; then
  grep -q '!BDN' "$work/mime/magic" || fail "the MIME type has no magic"
  grep -q '\*\.ost' "$work/mime/globs2" || fail "the MIME type has no *.ost glob"
else
  fail "update-mime-database: $(cat "$work/mime.log")"
fi
appstreamcli validate --no-net "$root/usr/share/metainfo/example.tarvolin.ost2eml.metainfo.xml" ||
  fail "appstreamcli validate"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/example.tarvolin.ost2eml.metainfo.xml" ||
  fail "the AppStream release is not $version"

echo "== programs"
ost2eml="$root/usr/bin/ost2eml"
[[ $("$ost2eml" --version) == "ost2eml $version" ]] || fail "ost2eml --version: $("$ost2eml" --version)"
info=$("$ost2eml" info "$demo") || fail "ost2eml info on the demo store ended with $?"
grep -q "Inbox" <<<"$info" || fail "ost2eml info shows no Inbox: $info"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/tarvolin-ost2eml" --version | grep -qF "$version" ||
  fail "tarvolin-ost2eml --version"

echo "== manual pages"
for page in ost2eml tarvolin-ost2eml; do
  file="$root/usr/share/man/man1/$page.1.gz"
  if ! MANWIDTH=100 man --warnings -l "$file" >"$work/$page.txt" 2>"$work/$page.warnings"; then
    fail "man -l $page"
  fi
  [[ ! -s $work/$page.warnings ]] || fail "man warns on $page(1): $(cat "$work/$page.warnings")"
done
# The page lists every command and every option that the commands' help lists.
commands=$("$ost2eml" --help | awk '/^Commands:/ {on = 1; next} on && /^  [a-z]/ {print $1} on && /^$/ {exit}')
[[ -n $commands ]] || fail "no commands in ost2eml --help"
for command in $commands; do
  grep -q "ost2eml $command" "$work/ost2eml.txt" || fail "ost2eml(1) lacks the command $command"
  for option in $("$ost2eml" "$command" --help | grep -oE '^  (-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+'); do
    grep -q -- "$option" "$work/ost2eml.txt" || fail "ost2eml(1) lacks $command $option"
  done
done
for code in 0 1 2; do
  grep -qE "^ +$code +[A-Z]" "$work/ost2eml.txt" || fail "ost2eml(1) does not explain exit code $code"
done
grep -q "conversion-report.json" "$work/ost2eml.txt" || fail "ost2eml(1) does not name the report files"
grep -q -- "--codepage" "$work/tarvolin-ost2eml.txt" || fail "tarvolin-ost2eml(1) lacks --codepage"

echo "== bash completion"
mkdir -p "$work/files/sub dir"
touch "$work/files/mailbox.ost" "$work/files/OTHER.OST" "$work/files/notes.txt"
complete_words() { # the words offered for the command line "$@" (the last word is being typed)
  (cd "$work/files" && bash -c '
    source "$0"
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    _ost2eml
    ((${#COMPREPLY[@]})) && printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
    "$root/usr/share/bash-completion/completions/ost2eml" ost2eml "$@")
}
expect() { # expect WORDS-OFFERED -- COMMAND LINE
  local want=$1
  shift 2
  local got
  got=$(complete_words "$@")
  [[ $got == "$want" ]] || fail "completing 'ost2eml $*': got '$got', want '$want'"
}
expect "convert info merge-reports scan search show " -- ""
expect "convert " -- co
expect "--help --version " -- --
expect "--all --ca-file --calendar --codepage --contacts --dedup --folder --format --help --help-all --journal --no-mail --notes --password-file --reader --recovered --report-dir --retry-for --since --tasks --until --vcard " -- convert --
expect "--attachments --codepage --help --help-all --json --reader --recovered " -- scan --
expect "--codepage --folder --help --help-all --json --reader --since --until " -- search --
expect "OTHER.OST mailbox.ost sub dir " -- info ""
expect "OTHER.OST mailbox.ost sub dir " -- convert --reader libpff ""
expect "sub dir " -- convert mailbox.ost ""
expect "sub dir " -- show -o ""
expect "" -- show mailbox.ost ""
expect "libpff native " -- info --reader ""
expect "eml maildir mbox " -- convert --format ""
expect "OTHER.OST mailbox.ost notes.txt sub dir " -- convert --ca-file ""

echo "== help pages"
help="$root/usr/share/tarvolin-ost2eml/help"
grep -qi '<script' "$help"/* && fail "the help pages hold a script"
grep -qE '(src|href)="(https?:)?//' "$help"/* && fail "the help pages load something from elsewhere"
for anchor in $(grep -o 'href="#[^"]*"' "$help/index.html" | sed 's/href="#\(.*\)"/\1/' | sort -u); do
  grep -q "id=\"$anchor\"" "$help/index.html" || fail "the help's link #$anchor leads nowhere"
done
cmp -s "$help/index.html" "$build/share/tarvolin-ost2eml/help/index.html" ||
  fail "the build tree's help pages differ from the package's"

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package checks passed"
