#!/usr/bin/env python3
"""Packs a folder into a .zip or a .tar.gz whose bytes depend on the files' names, contents and
executable bits only: entries in sorted order under the folder's own name, every date the one
given (SOURCE_DATE_EPOCH), modes 0755 (a folder, an executable) or 0644, owner 0 without names,
and a gzip header with neither a name nor a time. A .vsix (a Visual Studio Code extension) is a
zip of the folder's files at its root, without the folder's name and without folder entries, as
the Open Packaging Conventions want it.

    archive.py FOLDER OUT.zip|OUT.tar.gz|OUT.vsix --mtime SECONDS
"""
import argparse
import gzip
import io
import os
import sys
import tarfile
import time
import zipfile


def entries(folder):
    """(name in the archive, path on disk) of the folder and everything in it, sorted by name;
    a link or anything else that is neither a file nor a folder is refused."""
    top = os.path.basename(os.path.normpath(folder))
    found = [(top + "/", folder)]
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            relative = os.path.relpath(path, folder).replace(os.sep, "/")
            if os.path.islink(path):
                raise SystemExit(f"archive: {path} is a link")
            if os.path.isdir(path):
                found.append((f"{top}/{relative}/", path))
            elif os.path.isfile(path):
                found.append((f"{top}/{relative}", path))
            else:
                raise SystemExit(f"archive: {path} is neither a file nor a folder")
    return sorted(found)


def mode_of(path):
    if os.path.isdir(path) or os.access(path, os.X_OK):
        return 0o755
    return 0o644


def write_zip(folder, output, mtime, files_at_root=False):
    # A zip's dates are local times from 1980 on, with even seconds.
    stamp = time.gmtime(max(mtime, 315532800))[:6]
    found = entries(folder)
    if files_at_root:
        found = [(name.split("/", 1)[1], path) for name, path in found if not name.endswith("/")]
    with zipfile.ZipFile(output, "w") as archive:
        for name, path in found:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 3  # Unix, so that the modes below count
            info.external_attr = (mode_of(path) | (0o040000 if name.endswith("/") else 0o100000)) << 16
            if name.endswith("/"):
                info.external_attr |= 0x10  # the MS-DOS directory bit
                archive.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as f:
                    archive.writestr(info, f.read(), compresslevel=9)


def write_tar_gz(folder, output, mtime):
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.PAX_FORMAT) as archive:
        for name, path in entries(folder):
            info = tarfile.TarInfo(name.rstrip("/"))
            info.mtime = mtime
            info.mode = mode_of(path)
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            if name.endswith("/"):
                info.type = tarfile.DIRTYPE
                archive.addfile(info)
            else:
                info.size = os.path.getsize(path)
                with open(path, "rb") as f:
                    archive.addfile(info, f)
    with open(output, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=0, compresslevel=9) as gz:
            gz.write(buffer.getvalue())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("output")
    parser.add_argument("--mtime", type=int, required=True)
    args = parser.parse_args()
    if not os.path.isdir(args.folder):
        raise SystemExit(f"archive: {args.folder} is not a folder")
    if args.output.endswith(".zip"):
        write_zip(args.folder, args.output, args.mtime)
    elif args.output.endswith(".vsix"):
        write_zip(args.folder, args.output, args.mtime, files_at_root=True)
    elif args.output.endswith(".tar.gz"):
        write_tar_gz(args.folder, args.output, args.mtime)
    else:
        raise SystemExit(f"archive: {args.output}: not .zip, .tar.gz nor .vsix")


if __name__ == "__main__":
    sys.exit(main())
