#!/usr/bin/env bash
# Checks the two programs of a release build as they ship:
#   - imports: only DLLs on the Windows KnownDLLs list (always taken from the system folder), plus
#     comctl32, which the manifest binds to the system's side-by-side copy; and not ole32 or
#     oleaut32, which the programs load on first use so that their windows do not wait for them;
#   - a load-configuration directory whose DependentLoadFlags are LOAD_LIBRARY_SEARCH_SYSTEM32;
#   - the image header: marked Terminal Server aware, and a checksum that matches the image as it
#     ships (computed here by pefile, independently of the build step that writes it);
#   - the version blocks, read back: product name and version (text and numeric fields) as
#     common/Version.h holds them, the same version on the window's label and in the archive's name;
#   - size: at most 200 KB each, with no symbol table;
#   - signing: a throwaway CA and code-signing certificate (openssl) sign copies with
#     scripts/sign.sh, and osslsigncode verifies both against that CA;
#   - the zip as scripts/release.sh packs it: the programs, SHA256SUMS, THIRD-PARTY-NOTICES.txt with
#     the copyright file of every Debian package whose code the programs link, and Velmor.spdx.json,
#     an SPDX 2.3 bill of materials whose digests are those of the programs and whose package
#     versions are those installed;
#   - reproducibility: a second build of the same sources, in other folders, gives the same bytes,
#     and so does its zip.
#   bash scripts/check-release.sh [BUILD_DIR]        (default build/win64)
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/release-lib.sh
build=${1:-build/win64}
programs=("$build/setup/Velmor_Setup.exe" "$build/uninstall/UnInstall.exe")
limit=$((200 * 1024))
status=0
fail() {
  echo "check-release: FAIL: $*" >&2
  status=1
}
for p in "${programs[@]}"; do
  [[ -f $p ]] || { echo "check-release: not built: $p" >&2; exit 1; }
done
case $(sed -n 's/^CMAKE_C_COMPILER:[^=]*=//p' "$build/CMakeCache.txt") in
  *i686*) objdump=i686-w64-mingw32-objdump ;;
  *) objdump=x86_64-w64-mingw32-objdump ;;
esac

known_dlls=(advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32
  msctf msvcrt normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi
  user32 wldap32 ws2_32 ntdll comctl32)
allowed=" ${known_dlls[*]} "

echo "== imports and load configuration"
for p in "${programs[@]}"; do
  dlls=$("$objdump" -p "$p" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  [[ -n $dlls ]] || fail "$p: no import table found"
  for dll in $dlls; do
    [[ $allowed == *" ${dll%.dll} "* ]] || fail "$p imports $dll, which is not always taken from the system folder"
    [[ ${dll%.dll} == ole32 || ${dll%.dll} == oleaut32 ]] &&
      fail "$p imports $dll, which it should load on first use (every start would wait for it)"
  done
  flags=$(python3 - "$p" <<'PY'
import struct, sys
image = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", image, 0x3C)[0]
optional = pe + 24
pe32plus = struct.unpack_from("<H", image, optional)[0] == 0x20B
rva, size = struct.unpack_from("<II", image, optional + (112 if pe32plus else 96) + 8 * 10)
if rva == 0:
    print("none"); sys.exit()
sections = optional + struct.unpack_from("<H", image, pe + 20)[0]
for i in range(struct.unpack_from("<H", image, pe + 6)[0]):
    vsize, va, rsize, raw = struct.unpack_from("<IIII", image, sections + 40 * i + 8)
    if va <= rva < va + max(vsize, rsize):
        offset = raw + rva - va
        # DependentLoadFlags: the WORD after CSDVersion (offset 78 in PE32+, 54 in PE32).
        print(hex(struct.unpack_from("<H", image, offset + (78 if pe32plus else 54))[0]))
        break
PY
  )
  [[ $flags == 0x800 ]] || fail "$p: DependentLoadFlags are $flags, not 0x800 (LOAD_LIBRARY_SEARCH_SYSTEM32)"
  echo "$(basename "$p"): imports $(echo $dlls); DependentLoadFlags $flags"
done

echo "== image header: Terminal Server aware, checksum"
# pefile comes from Debian's package, for Debian's own Python (another python3 may come first on
# the PATH).
debian_python=/usr/bin/python3
[[ -x $debian_python ]] || debian_python=python3
for p in "${programs[@]}"; do
  "$debian_python" - "$p" <<'PY' || fail "$(basename "$p"): image header"
import sys
import pefile
image = pefile.PE(sys.argv[1], fast_load=True)
header = image.OPTIONAL_HEADER
name = sys.argv[1].rsplit("/", 1)[-1]
ok = True
if not header.DllCharacteristics & 0x8000:  # IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE
    print(f"{name}: not marked Terminal Server aware", file=sys.stderr)
    ok = False
computed = image.generate_checksum()
if header.CheckSum != computed:
    print(f"{name}: checksum 0x{header.CheckSum:08x}, the image's is 0x{computed:08x}", file=sys.stderr)
    ok = False
if ok:
    print(f"{name}: Terminal Server aware; checksum 0x{computed:08x} matches")
sys.exit(0 if ok else 1)
PY
done

echo "== version blocks: what Properties shows, against common/Version.h and the window"
# Read back from the programs as built: both name the product and the version that the header
# holds, in the text and the numeric fields alike, the window's label shows that version, and the
# release archive is named by it.
zip_name=$(velmor_release_zip_name) || fail "no release version"
"$debian_python" - common/Version.h "$zip_name" "${programs[@]}" <<'PY' || fail "the version blocks do not match common/Version.h, the window or the archive's name"
import re
import sys
import pefile

header = open(sys.argv[1], encoding="utf-8").read()
define = lambda name: re.search(rf'^#define {name} "([^"]*)"', header, re.MULTILINE).group(1)
product, version = define("VELMOR_PRODUCT_NAME"), define("VELMOR_VERSION")
major, minor = (int(part) for part in version.split("."))
problems = []
if sys.argv[2] != f"Velmor-{version}-win64.zip":
    problems.append(f"the release archive is named {sys.argv[2]}")
for path in sys.argv[3:]:
    name = path.rsplit("/", 1)[-1]
    image = pefile.PE(path)
    strings = {}
    translations = []
    for info in (entry for group in getattr(image, "FileInfo", []) for entry in group):
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
        elif info.Key == b"VarFileInfo":
            translations += [v for var in info.Var for v in var.entry.values()]
    wanted = {"ProductName": product, "FileVersion": version, "ProductVersion": version,
              "InternalName": name.removesuffix(".exe"), "OriginalFilename": name}
    for key, value in wanted.items():
        if strings.get(key) != value:
            problems.append(f"{name}: {key} is {strings.get(key)!r}, not {value!r}")
    if translations != ["0x0411 0x04b0"]:
        problems.append(f"{name}: the block's languages are {translations}, not Japanese (0x0411, 1200)")
    fixed = image.VS_FIXEDFILEINFO[0]
    numbers = (major << 16 | minor, 0)
    for field in ("FileVersion", "ProductVersion"):
        found = (getattr(fixed, field + "MS"), getattr(fixed, field + "LS"))
        if found != numbers:
            problems.append(f"{name}: numeric {field} is {found[0] >> 16}.{found[0] & 0xFFFF}."
                            f"{found[1] >> 16}.{found[1] & 0xFFFF}, not {major}.{minor}.0.0")
    label = f"Ver : {version}".encode("utf-16-le")
    if label not in open(path, "rb").read():
        problems.append(f"{name}: the window's label does not read 'Ver : {version}'")
    if not any(p.startswith(name) for p in problems):
        print(f"{name}: {strings['ProductName']} {strings['ProductVersion']} "
              f"({major}.{minor}.0.0), window 'Ver : {version}'")
for p in problems:
    print("check-release: " + p, file=sys.stderr)
sys.exit(1 if problems else 0)
PY

echo "== size (limit $limit bytes)"
for p in "${programs[@]}"; do
  size=$(stat -c %s "$p")
  parts=""
  while read -r section hex; do
    parts+="$section $((16#$hex))  "
  done < <("$objdump" -h "$p" | awk '$1 ~ /^[0-9]+$/ {print $2, $3}')
  echo "$(basename "$p"): $size bytes: $parts"
  ((size <= limit)) || fail "$p is $size bytes, over $limit"
  if "$objdump" -t "$p" 2>/dev/null | grep -q '^\['; then fail "$p carries a symbol table"; fi
done

work=$(cd "$build" && pwd)/release-check
rm -rf "$work"
mkdir -p "$work"

echo "== signing with a throwaway certificate"
if (
  set -e
  cd "$work"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
    -subj "/CN=Velmor throwaway test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
    -subj "/CN=Velmor throwaway code signing" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
  openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
    -extfile signer.ext -out signer.pem 2>/dev/null
  openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 \
    -passout pass:throwaway-password
)
then
  for p in "${programs[@]}"; do
    name=$(basename "$p")
    cp "$p" "$work/$name"
    if ! VELMOR_SIGN_PKCS12=$work/signer.p12 VELMOR_SIGN_PASSWORD=throwaway-password \
      VELMOR_SIGN_TIMESTAMP_URL= bash scripts/sign.sh "$work/$name" >/dev/null; then
      fail "$name: signing failed"
      continue
    fi
    if osslsigncode verify -CAfile "$work/ca.pem" -in "$work/$name" >"$work/$name.verify" 2>&1; then
      echo "$name: signature verified ($(grep -m1 -o 'Message digest algorithm *: *[A-Z0-9]*' "$work/$name.verify" | sed 's/ *: */ /'))"
    else
      cat "$work/$name.verify" >&2
      fail "$name: the signature does not verify against the throwaway CA"
    fi
    # Signing adds the signature and sets the header's checksum, nothing else: without them the
    # image is the one that was built.
    osslsigncode remove-signature -in "$work/$name" -out "$work/$name.unsigned" >/dev/null 2>&1
    python3 - "$work/$name.unsigned" "$p" <<'PY' || fail "$name: removing the signature does not give back the built image"
import struct, sys
def without_checksum(path):
    image = bytearray(open(path, "rb").read())
    checksum = struct.unpack_from("<I", image, 0x3C)[0] + 24 + 64
    image[checksum:checksum + 4] = bytes(4)
    return image
sys.exit(without_checksum(sys.argv[1]) != without_checksum(sys.argv[2]))
PY
  done
else
  fail "openssl could not make the throwaway certificates"
fi

echo "== the release zip: notices and bill of materials"
# Packs the programs as built (unsigned) the way the release does, into $2.
pack() {
  local build_dir=$1 zip=$2 stage
  stage=$(mktemp -d "$work/stage.XXXXXX")
  cp "$build_dir/setup/Velmor_Setup.exe" "$build_dir/uninstall/UnInstall.exe" "$stage/"
  velmor_release_pack "$stage" "$build_dir" "$zip"
}
if pack "$build" "$work/$zip_name"; then
  listed=$(unzip -Z1 "$work/$zip_name" | sort | tr '\n' ' ')
  wanted=$(printf '%s\n' "${VELMOR_RELEASE_FILES[@]}" | sort | tr '\n' ' ')
  [[ $listed == "$wanted" ]] || fail "the zip holds [$listed], not [$wanted]"
  mkdir -p "$work/unzipped"
  unzip -q -o "$work/$zip_name" -d "$work/unzipped"
  linked=$(velmor_linked_packages "$build" | cut -d' ' -f1 | sort -u | tr '\n' ' ')
  echo "linked packages: $linked"
  VELMOR_LINKED_PACKAGES=$linked python3 - "$work/unzipped" "$build" <<'PY' || fail "the notices or the bill of materials do not match what the zip holds"
import hashlib, json, os, subprocess, sys

unzipped, build = sys.argv[1], sys.argv[2]
packages = os.environ["VELMOR_LINKED_PACKAGES"].split()
problems = []
built = {"Velmor_Setup.exe": os.path.join(build, "setup", "Velmor_Setup.exe"),
         "UnInstall.exe": os.path.join(build, "uninstall", "UnInstall.exe")}

def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()

with open(os.path.join(unzipped, "THIRD-PARTY-NOTICES.txt"), encoding="utf-8", newline="") as f:
    notices = f.read().replace("\r\n", "\n")
for package in packages:
    with open(f"/usr/share/doc/{package}/copyright", encoding="utf-8") as f:
        if f.read().strip() not in notices:
            problems.append(f"the notices lack the copyright file of {package}")

with open(os.path.join(unzipped, "Velmor.spdx.json"), encoding="utf-8") as f:
    sbom = json.load(f)
if sbom.get("spdxVersion") != "SPDX-2.3" or sbom.get("dataLicense") != "CC0-1.0":
    problems.append("the bill of materials is not an SPDX 2.3 document")
files = {f["fileName"].removeprefix("./"): f for f in sbom.get("files", [])}
for name, path in built.items():
    entry = files.get(name)
    digests = {c["algorithm"]: c["checksumValue"] for c in (entry or {}).get("checksums", [])}
    if digests.get("SHA256") != sha256(os.path.join(unzipped, name)):
        problems.append(f"the bill of materials does not give {name}'s SHA-256")
    elif digests["SHA256"] != sha256(path):
        problems.append(f"{name} in the zip is not the one built")
versions = {p["name"]: p.get("versionInfo") for p in sbom.get("packages", [])}
for package in packages:
    installed = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package],
                               capture_output=True, text=True).stdout
    if versions.get(package) != installed:
        problems.append(f"the bill of materials names {package} {versions.get(package)}, "
                        f"installed is {installed}")
ids = {sbom.get("SPDXID")} | {p["SPDXID"] for p in sbom.get("packages", [])} | \
      {f["SPDXID"] for f in sbom.get("files", [])}
for r in sbom.get("relationships", []):
    if r["spdxElementId"] not in ids or r["relatedSpdxElement"] not in ids:
        problems.append(f"a relationship names an element the document lacks: {r}")
for p in problems:
    print("check-release: " + p, file=sys.stderr)
print(f"zip: {len(files)} programs with their digests, {len(packages)} linked packages in the notices")
sys.exit(1 if problems else 0)
PY
else
  fail "the release zip could not be packed"
fi

echo "== reproducibility: a second build in other folders"
# The sources as they are (tracked and new files), copied to another folder and built there.
src=$work/src
mkdir -p "$src"
git ls-files -z -co --exclude-standard | tar -cf - --null -T - | tar -xf - -C "$src"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[^=]*=//p' "$build/CMakeCache.txt")
toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[^=]*=//p' "$build/CMakeCache.txt")
if cmake -S "$src" -B "$work/second-build" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/$(basename "$toolchain")" -DVELMOR_TESTBED=OFF >/dev/null &&
  cmake --build "$work/second-build" --target Velmor_Setup UnInstall >"$work/second-build.log" 2>&1; then
  for p in "${programs[@]}"; do
    rel=${p#"$build"/}
    first=$(sha256sum <"$p" | cut -d' ' -f1)
    second=$(sha256sum <"$work/second-build/$rel" | cut -d' ' -f1)
    echo "$(basename "$p"): $first / $second"
    [[ $first == "$second" ]] || fail "$(basename "$p") differs between two builds of the same sources"
  done
  if pack "$work/second-build" "$work/second-release.zip"; then
    first=$(sha256sum <"$work/$zip_name" | cut -d' ' -f1)
    second=$(sha256sum <"$work/second-release.zip" | cut -d' ' -f1)
    echo "release zip: $first / $second"
    [[ $first == "$second" ]] || fail "the release zip differs between two builds of the same sources"
  else
    fail "the second build's release zip could not be packed"
  fi
else
  tail -20 "$work/second-build.log" >&2
  fail "the second build failed"
fi
rm -rf "$work"

if ((status == 0)); then echo "check-release: all checks passed"; fi
exit "$status"
