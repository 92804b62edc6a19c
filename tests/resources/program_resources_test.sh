#!/usr/bin/env bash
# The shipped programs' resources as Windows reads them back (resource_info.exe): the version
# information, the manifest and the common controls it brings in, and the icon in its four
# sizes. VARNELL_PROGRAMS names the programs this build made.
source "$VARNELL_SOURCE/tests/wine/lib.sh"

info() { winrun "$VARNELL_BIN/resource_info.exe" "$@"; }

# The version information, every field of it: the fixed version number, and the texts of the
# file and product versions.
check_version() {
  local name=$1 exe=$2 product=$3 version=$4 file_version=$5 product_version=$6 description=$7
  info version "$exe" >"$WORK/$name.version" || fail "$name: no version information"
  cat >"$WORK/$name.version.expected" <<EOF
FixedFileVersion	$version
FixedProductVersion	$version
FileType	application
Translation	0409 04b0
CompanyName	Varnell
FileDescription	$description
FileVersion	$file_version
InternalName	$name
LegalCopyright	Copyright © Varnell
OriginalFilename	$name.exe
ProductName	$product
ProductVersion	$product_version
EOF
  diff -u "$WORK/$name.version.expected" "$WORK/$name.version" ||
    fail "$name: version information differs"
  pass "$name: version $version, product $product, company Varnell"
}

# The manifest: the program's name and version, no elevation, version 6 of the common controls,
# the supported systems; and Windows can build an activation context from it that loads the
# common controls 6.
check_manifest() {
  local name=$1 exe=$2 product=$3 version=$4
  info manifest "$exe" >"$WORK/$name.manifest" || fail "$name: no manifest"
  local text
  text=$(tr -s ' \n' '  ' <"$WORK/$name.manifest")
  local wanted=(
    "name=\"Varnell.$product\" version=\"$version\""
    '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>'
    'name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture="*" publicKeyToken="6595b64144ccf1df"'
    '<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>'
    '<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>'
    '<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>'
    '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>'
  )
  local part
  for part in "${wanted[@]}"; do
    [[ $text == *"$part"* ]] || fail "$name: manifest lacks $part"
  done
  info comctl "$exe" >"$WORK/$name.comctl" || fail "$name: no activation context from its manifest"
  grep -qiE '^comctl32	[0-9.]+	.*_microsoft\.windows\.common-controls_6595b64144ccf1df_6\.' \
    "$WORK/$name.comctl" || fail "$name: common controls 6 not loaded: $(cat "$WORK/$name.comctl")"
  pass "$name: manifest asInvoker, common controls 6 ($(cut -f3 "$WORK/$name.comctl"))"
}

# One icon group of the given identifier, with 32-bit images of 256, 48, 32 and 16 pixels that
# Windows decodes to their sizes.
check_icons() {
  local name=$1 exe=$2 group=$3
  info icons "$exe" >"$WORK/$name.icons" || fail "$name: no icon"
  awk -F '\t' '$1 == "group" { print "group", $2 } $1 == "icon" { print $3, $4, $6 }' \
    "$WORK/$name.icons" >"$WORK/$name.icons.seen"
  printf '%s\n' "group $group" "256x256 32 256x256" "48x48 32 48x48" "32x32 32 32x32" \
    "16x16 32 16x16" >"$WORK/$name.icons.expected"
  diff -u "$WORK/$name.icons.expected" "$WORK/$name.icons.seen" || fail "$name: icons differ"
  pass "$name: icon $group in 256, 48, 32 and 16 pixels"
}

check_program() {
  local name=$1 product=$2 version=$3 file_version=$4 product_version=$5 description=$6 group=$7
  [ -f "$VARNELL_BIN/$name.exe" ] || fail "$name.exe not built"
  local exe
  exe=$(winpath "$VARNELL_BIN/$name.exe")
  check_version "$name" "$exe" "$product" "$version" "$file_version" "$product_version" \
    "$description"
  check_manifest "$name" "$exe" "$product" "$version"
  check_icons "$name" "$exe" "$group"
}

# Each program's version as the file VERSION gives it: Corvale's file version reads
# "2.0.0 (build 512)" and its product version "2.0.0"; Pennock and Falcrest give all four numbers.
for program in ${VARNELL_PROGRAMS:?}; do
  version=$(program_version "$program")
  case $program in
    corvale)
      check_program corvale Corvale "$version" "${version%.*} (build ${version##*.})" \
        "${version%.*}" "Corvale hot-folder print server" 100
      ;;
    pennock)
      check_program pennock Pennock "$version" "$version" "$version" \
        "Pennock spooler notification monitor" 103
      ;;
    falcrest)
      check_program falcrest Falcrest "$version" "$version" "$version" \
        "Falcrest AFP printer installer" 100
      ;;
    *) fail "unknown program $program" ;;
  esac
done

# A program file without these resources is told apart: the checks above can fail.
tool=$(winpath "$VARNELL_BIN/resource_info.exe")
if info comctl "$tool" >/dev/null 2>&1; then fail "an activation context from a file without manifest"; fi
if info icons "$tool" >/dev/null 2>&1; then fail "icons in a file that has none"; fi
pass "a file without manifest and icon is refused"

# The setup takes Corvale's icon from the build's icon folder.
icon=$VARNELL_BIN/../icons/corvale.ico
[ "$(identify -format '%wx%h ' "$icon" 2>/dev/null)" = "256x256 48x48 32x32 16x16 " ] ||
  fail "$icon does not hold the four sizes"
pass "corvale.ico beside the build for the setup"
