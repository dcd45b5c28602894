"""Adds the licences of the libraries a repaired wheel bundles to its licence
files, then writes the wheel into an output directory.

Usage: bundle_licences.py WHEEL OUTPUT_DIR [LIBRARY_DIR]

auditwheel records each library it copies into the wheel in a CycloneDX SBOM
under <dist-info>/sboms/, as a pkg:deb/<distribution>/<package>@<version>
component on Debian and its derivatives. Each such package's copyright file becomes
<dist-info>/licenses/<source package>.copyright (libgsl27 and libgslcblas0 share
"gsl"), and every licence text those files refer to in
/usr/share/common-licenses/ (Apache-2.0 for oneTBB, GPL-2 for FFTW, ...) is
added under licenses/common-licenses/, because several of those licences ask
that their full text accompany the binary. The metadata gains one License-File
line per added file and RECORD is rewritten.

auditwheel writes no SBOM for a cross-compiled wheel when the host has the same
packages installed for its own architecture too (its dpkg query of the bare
package name is then ambiguous). Given LIBRARY_DIR, the directory the bundled
libraries came from (/usr/lib/aarch64-linux-gnu), such a wheel's packages are
found by asking dpkg which package owns each bundled library's original file,
and the wheel gains a CycloneDX SBOM of its own naming them,
<dist-info>/sboms/bundled-libraries.cdx.json, in auditwheel's form.
"""

import base64
import hashlib
import json
import pathlib
import re
import subprocess
import sys
import urllib.parse
import zipfile

DOC = pathlib.Path("/usr/share/doc")
COMMON_LICENSES = pathlib.Path("/usr/share/common-licenses")
DEBIAN_COMPONENT = re.compile(r"pkg:deb/[^/]+/([^@?#]+)(?:@[^?#]*)?(?:\?(?:[^#]*&)?arch=([^&#]+))?")
BUNDLED_COPY = re.compile(r"[^/]+\.libs/(lib[^/]+?)-[0-9a-f]{8}(\.so[.0-9]*)")
COMMON_LICENSE_REFERENCE = re.compile(r"/usr/share/common-licenses/([A-Za-z0-9.+-]+[A-Za-z0-9+])")


def fail(message):
    sys.exit(f"bundle_licences: {message}")


def owning_packages(wheel, library_dir):
    """Debian packages (arch-qualified) owning the originals of the libraries in
    quorlex.libs/: auditwheel names its copy libgsl-5d02bd0b.so.27.0.0 after
    libgsl.so.27.0.0."""
    packages = set()
    for name in wheel.namelist():
        match = BUNDLED_COPY.fullmatch(name)
        if match is None:
            continue
        original = pathlib.Path(library_dir) / (match.group(1) + match.group(2))
        found = subprocess.run(["dpkg", "-S", str(original)], capture_output=True, text=True)
        if found.returncode != 0:
            fail(f"no Debian package owns {original}, the original of the bundled {name}")
        packages.add(found.stdout.split(": ", 1)[0])
    return sorted(packages)


def bundled_packages(wheel, library_dir=None):
    """Debian packages of the libraries auditwheel bundled, from its SBOM."""
    sboms = [name for name in wheel.namelist() if "/sboms/" in name and name.endswith(".json")]
    if not sboms and library_dir is not None:
        return owning_packages(wheel, library_dir)
    if not sboms:
        fail("the wheel carries no SBOM: repair it with auditwheel 6.8 or later")
    packages = set()
    for name in sboms:
        for component in json.loads(wheel.read(name)).get("components", []):
            purl = urllib.parse.unquote(component.get("purl", ""))
            if purl.startswith("pkg:pypi/"):
                continue
            match = DEBIAN_COMPONENT.match(purl)
            if match is None:
                fail(f"bundled library {component.get('name')!r} does not come from a Debian package: "
                     "its licence cannot be found")
            # A foreign architecture's package (an arm64 library on an amd64
            # host that cross-compiled) is queried with its qualifier.
            packages.add(match.group(1) if match.group(2) in (None, host_architecture()) else
                         f"{match.group(1)}:{match.group(2)}")
    return sorted(packages)


def host_architecture():
    return subprocess.run(["dpkg", "--print-architecture"], check=True, capture_output=True,
                          text=True).stdout.strip()


def source_package(package):
    return subprocess.run(["dpkg-query", "-W", "-f=${source:Package}", package],
                          check=True, capture_output=True, text=True).stdout.strip()


def licence_files(packages):
    """Maps each licence file's path below licenses/ to its bytes."""
    files = {}
    for package in packages:
        copyright_file = DOC / package.split(":")[0] / "copyright"
        if not copyright_file.is_file():
            fail(f"{copyright_file} is missing: the licence of the bundled {package} is unknown")
        text = copyright_file.read_bytes()
        name = f"{source_package(package)}.copyright"
        if files.setdefault(name, text) != text:
            fail(f"packages of one source ship different copyright files ({name})")
        for licence in COMMON_LICENSE_REFERENCE.findall(text.decode("utf-8", "replace")):
            path = COMMON_LICENSES / licence
            if not path.is_file():
                fail(f"{package} refers to {path}, which is missing")
            files[f"common-licenses/{licence}"] = path.read_bytes()
    return files


def with_license_files(metadata, names):
    """Core metadata with one License-File header per name, after the existing ones."""
    head, separator, body = metadata.partition("\n\n")
    lines = head.split("\n")
    last = max((i for i, line in enumerate(lines) if line.startswith("License-File:")), default=len(lines) - 1)
    lines[last + 1:last + 1] = [f"License-File: {name}" for name in names]
    return "\n".join(lines) + separator + body


def record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}\n"


def debian_sbom(wheel_name, packages):
    """A CycloneDX SBOM listing the wheel and the Debian packages it bundles."""
    name, version = wheel_name.split("-")[:2]
    wheel_purl = f"pkg:pypi/{name}@{version}?file_name={urllib.parse.quote(wheel_name)}"
    components = [{"type": "library", "bom-ref": wheel_purl, "name": name, "version": version,
                   "purl": wheel_purl}]
    for package in packages:
        bare, _, arch = package.partition(":")
        version = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], check=True,
                                 capture_output=True, text=True).stdout.strip()
        purl = (f"pkg:deb/debian/{bare}@{urllib.parse.quote(version)}"
                f"?arch={arch or host_architecture()}")
        components.append({"type": "library", "bom-ref": purl, "name": bare, "version": version, "purl": purl})
    return json.dumps({"bomFormat": "CycloneDX", "specVersion": "1.4", "version": 1,
                       "metadata": {"component": components[0]}, "components": components,
                       "dependencies": [{"ref": wheel_purl, "dependsOn": [c["bom-ref"] for c in components[1:]]}]})


def main(source, output_dir, library_dir=None):
    source = pathlib.Path(source)
    target = pathlib.Path(output_dir) / source.name
    with zipfile.ZipFile(source) as wheel:
        entries = [(info, wheel.read(info)) for info in wheel.infolist()]
        packages = bundled_packages(wheel, library_dir)
    dist_info = next(info.filename.split("/")[0] for info, _ in entries
                     if info.filename.endswith(".dist-info/METADATA"))
    present = {data for info, data in entries if info.filename.startswith(f"{dist_info}/licenses/")}
    # A text the wheel already carries (GPL-3 is quorlex's own LICENSE) is not repeated.
    added = {name: text for name, text in licence_files(packages).items() if text not in present}
    sbom = {}
    if not any("/sboms/" in info.filename for info, _ in entries):
        sbom[f"{dist_info}/sboms/bundled-libraries.cdx.json"] = debian_sbom(source.name, packages).encode()
    records = []
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as wheel:
        def write(info, data):
            wheel.writestr(info, data)
            if not info.is_dir():
                records.append(record_line(info.filename, data))

        for info, data in entries:
            if info.filename == f"{dist_info}/RECORD":
                continue
            if info.filename == f"{dist_info}/METADATA":
                data = with_license_files(data.decode(), sorted(added)).encode()
            write(info, data)
        for name in sorted(added):
            info = zipfile.ZipInfo(f"{dist_info}/licenses/{name}", date_time=entries[0][0].date_time)
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            write(info, added[name])
        for name, data in sbom.items():
            info = zipfile.ZipInfo(name, date_time=entries[0][0].date_time)
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            write(info, data)
        wheel.writestr(f"{dist_info}/RECORD", "".join(records) + f"{dist_info}/RECORD,,\n")
    print(f"{target.name}: added {', '.join(sorted(added))}")


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    main(*sys.argv[1:])
