# shellcheck shell=bash
# What a release zip holds besides the programs, and the zip itself; sourced by release.sh and by
# check-release.sh, so that what is checked is what ships:
#   velmor_release_version                      the version of both programs (common/Version.h)
#   velmor_release_zip_name                     the release archive's name, Velmor-<version>-win64.zip
#   velmor_release_pack STAGE BUILD_DIR ZIP     SHA256SUMS, THIRD-PARTY-NOTICES.txt and
#                                               Velmor.spdx.json beside the programs in STAGE, then
#                                               the zip of all five
# The notices and the bill of materials are made from what the linker took in (the programs'
# linker maps in BUILD_DIR) and from the Debian packages that supplied it, never written by hand.
# Two runs on the same programs give the same bytes: every time in them is SOURCE_DATE_EPOCH.

# Fixed times in the zip and the bill of materials: the commit's time, so one commit gives one
# archive.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
export SOURCE_DATE_EPOCH

VELMOR_RELEASE_PROGRAMS=(Velmor_Setup.exe UnInstall.exe)
VELMOR_RELEASE_FILES=("${VELMOR_RELEASE_PROGRAMS[@]}" SHA256SUMS THIRD-PARTY-NOTICES.txt
  Velmor.spdx.json)

# The one place that holds the version: both programs' version blocks and window labels take it
# from there too.
velmor_release_version() {
  local version
  version=$(sed -n 's/^#define VELMOR_VERSION "\([^"]*\)".*/\1/p' common/Version.h)
  if [[ -z $version ]]; then
    echo "release: common/Version.h names no VELMOR_VERSION" >&2
    return 1
  fi
  echo "$version"
}

velmor_release_zip_name() {
  local version
  version=$(velmor_release_version) || return 1
  echo "Velmor-$version-win64.zip"
}

# The files outside BUILD_DIR that the linker took code from, one a line: archives of which it
# included a member, and object files it loaded whole (the start-up code). Import libraries from
# which it took only stubs count too: they come from the same runtime package.
velmor_linked_files() {
  local build=$1 map
  for map in "$build/setup/Velmor_Setup.exe.map" "$build/uninstall/UnInstall.exe.map"; do
    [[ -f $map ]] || { echo "release: no linker map $map" >&2; return 1; }
    sed -n '/^Archive member included/,/^Discarded input sections/p' "$map" |
      sed -n 's|^\(/[^( ]*\)(.*|\1|p'
    sed -n 's|^LOAD \(/.*\.o\)$|\1|p' "$map"
  done | sort -u | xargs -r -d '\n' realpath | sort -u | grep -v "^$(realpath "$build")/" || true
}

# "PACKAGE FILE" for each linked file: the installed Debian package it came from.
velmor_linked_packages() {
  local build=$1 files owners path paths
  files=$(velmor_linked_files "$build") || return 1
  [[ -n $files ]] || { echo "release: the linker maps name no runtime files" >&2; return 1; }
  mapfile -t paths <<<"$files"
  owners=$(dpkg-query -S "${paths[@]}" 2>/dev/null | sed -n 's|^\([^:, ]*\): \(/.*\)$|\1 \2|p')
  for path in "${paths[@]}"; do
    grep -q " $path\$" <<<"$owners" || { echo "release: no installed package owns $path" >&2; return 1; }
  done
  sort <<<"$owners"
}

velmor_release_pack() {
  local stage=$1 build=$2 zip=$3 version linked
  version=$(velmor_release_version) || return 1
  linked=$(velmor_linked_packages "$build") || return 1
  (cd "$stage" && sha256sum "${VELMOR_RELEASE_PROGRAMS[@]}" >SHA256SUMS) || return 1
  VELMOR_VERSION=$version VELMOR_LINKED=$linked python3 - "$stage" <<'PY' || return 1
import datetime, hashlib, json, os, subprocess, sys
from urllib.parse import quote

stage = sys.argv[1]
version = os.environ["VELMOR_VERSION"]
epoch = int(os.environ["SOURCE_DATE_EPOCH"])
programs = ["Velmor_Setup.exe", "UnInstall.exe"]

# Package -> the linked files it supplied.
linked = {}
for line in os.environ["VELMOR_LINKED"].splitlines():
    package, path = line.split(" ", 1)
    linked.setdefault(package, []).append(os.path.basename(path))

def query(package, field):
    return subprocess.run(["dpkg-query", "-W", "-f", "${" + field + "}", package],
                          check=True, capture_output=True, text=True).stdout.strip()

packages = []
for name in sorted(linked):
    copyright_path = f"/usr/share/doc/{name}/copyright"
    with open(copyright_path, encoding="utf-8") as f:
        copyright_text = f.read().rstrip("\n") + "\n"
    packages.append({
        "name": name,
        "version": query(name, "Version"),
        "arch": query(name, "Architecture"),
        "source": query(name, "source:Package"),
        "homepage": query(name, "Homepage"),
        "files": sorted(set(linked[name])),
        "copyright_path": copyright_path,
        "copyright": copyright_text,
    })

# THIRD-PARTY-NOTICES.txt: the components, then each distinct copyright file once (packages built
# from one source share theirs).
rule = "=" * 78
lines = [
    f"Velmor {version}: third-party notices",
    "",
    "Velmor_Setup.exe and UnInstall.exe contain code of the components below, linked in",
    "statically when they were built. Their copyright and licence terms follow, as the Debian",
    "packages that supplied them state them.",
    "",
]
for p in packages:
    lines.append(f"  {p['name']} {p['version']} ({p['homepage'] or p['source']})")
    lines.append(f"      linked: {', '.join(p['files'])}")
texts = {}
for p in packages:
    texts.setdefault(p["copyright"], []).append(p)
for text, owners in texts.items():
    lines += ["", rule, "Packages: " + ", ".join(p["name"] for p in owners),
              "From: " + owners[0]["copyright_path"], rule, ""]
    lines.append(text.rstrip("\n"))
with open(os.path.join(stage, "THIRD-PARTY-NOTICES.txt"), "w", encoding="utf-8", newline="\r\n") as f:
    f.write("\n".join(lines) + "\n")

# Velmor.spdx.json: SPDX 2.3, the two programs as files with their digests, each statically
# linking the toolchain packages.
def digest(path, algorithm):
    with open(path, "rb") as f:
        return hashlib.new(algorithm, f.read()).hexdigest()

def spdx_id(kind, name):
    return f"SPDXRef-{kind}-" + "".join(c if c.isalnum() or c in ".-" else "-" for c in name)

files = [{
    "fileName": "./" + name,
    "SPDXID": spdx_id("File", name),
    "fileTypes": ["BINARY"],
    "checksums": [
        {"algorithm": "SHA1", "checksumValue": digest(os.path.join(stage, name), "sha1")},
        {"algorithm": "SHA256", "checksumValue": digest(os.path.join(stage, name), "sha256")},
    ],
    "licenseConcluded": "NOASSERTION",
    "copyrightText": "NOASSERTION",
} for name in programs]
sums = hashlib.sha256("".join(f["checksums"][1]["checksumValue"] for f in files).encode()).hexdigest()
document = {
    "spdxVersion": "SPDX-2.3",
    "dataLicense": "CC0-1.0",
    "SPDXID": "SPDXRef-DOCUMENT",
    "name": f"Velmor-{version}-win64",
    "documentNamespace": f"https://velmor.invalid/spdx/Velmor-{version}-win64-{sums}",
    "creationInfo": {
        "created": datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc)
                           .strftime("%Y-%m-%dT%H:%M:%SZ"),
        "creators": ["Organization: Velmor developers", "Tool: scripts/release.sh"],
    },
    "packages": [{
        "name": "Velmor",
        "SPDXID": "SPDXRef-Package-Velmor",
        "versionInfo": version,
        "downloadLocation": "NOASSERTION",
        "filesAnalyzed": False,
        "licenseConcluded": "NOASSERTION",
        "licenseDeclared": "NOASSERTION",
        "copyrightText": "NOASSERTION",
        "primaryPackagePurpose": "APPLICATION",
    }] + [{
        "name": p["name"],
        "SPDXID": spdx_id("Package", p["name"]),
        "versionInfo": p["version"],
        "supplier": "Organization: Debian",
        "downloadLocation": "NOASSERTION",
        "homepage": p["homepage"] or "NOASSERTION",
        "sourceInfo": f"Debian source package {p['source']}",
        "filesAnalyzed": False,
        "licenseConcluded": "NOASSERTION",
        "licenseDeclared": "NOASSERTION",
        "copyrightText": "NOASSERTION",
        "comment": "Statically linked: " + ", ".join(p["files"]),
        "externalRefs": [{
            "referenceCategory": "PACKAGE-MANAGER",
            "referenceType": "purl",
            "referenceLocator": f"pkg:deb/debian/{quote(p['name'], safe='')}@"
                                f"{quote(p['version'], safe='')}?arch={p['arch']}",
        }],
        "primaryPackagePurpose": "LIBRARY",
    } for p in packages],
    "files": files,
    "relationships": [
        {"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
         "relatedSpdxElement": "SPDXRef-Package-Velmor"},
    ] + [
        {"spdxElementId": "SPDXRef-Package-Velmor", "relationshipType": "CONTAINS",
         "relatedSpdxElement": f["SPDXID"]} for f in files
    ] + [
        {"spdxElementId": f["SPDXID"], "relationshipType": "STATIC_LINK",
         "relatedSpdxElement": spdx_id("Package", p["name"])} for f in files for p in packages
    ],
}
with open(os.path.join(stage, "Velmor.spdx.json"), "w", encoding="utf-8") as f:
    json.dump(document, f, indent=2, ensure_ascii=False)
    f.write("\n")
PY
  touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
  zip=$(realpath -m "$zip")
  rm -f "$zip"
  (cd "$stage" && zip -X -q "$zip" "${VELMOR_RELEASE_FILES[@]}")
}
