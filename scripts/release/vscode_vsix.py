#!/usr/bin/env python3
"""Makes a folder holding a Visual Studio Code extension in extension/ (its package.json, its
files and its node_modules/) ready to be zipped into a .vsix by archive.py: sets the version of
extension/package.json to the project's, and writes the two files a .vsix carries beside it,
extension.vsixmanifest (the extension's identity, engine and manifest, from package.json) and
[Content_Types].xml (a content type for every file, as the Open Packaging Conventions want).

    vscode_vsix.py FOLDER VERSION_FILE
"""
import argparse
import json
import os
import sys
from xml.sax.saxutils import quoteattr, escape

# Content types by extension; anything else is application/octet-stream.
CONTENT_TYPES = {
    ".js": "application/javascript",
    ".json": "application/json",
    ".md": "text/markdown",
    ".txt": "text/plain",
    ".vsixmanifest": "text/xml",
    ".xml": "text/xml",
}


def files_of(folder):
    """The names of the folder's files, relative and with '/', sorted."""
    found = []
    for root, _, files in os.walk(folder):
        for name in files:
            found.append(os.path.relpath(os.path.join(root, name), folder).replace(os.sep, "/"))
    return sorted(found)


def manifest(package):
    """extension.vsixmanifest for a package.json's fields."""
    for field in ("name", "publisher", "version", "displayName", "description"):
        if not isinstance(package.get(field), str) or not package[field]:
            raise SystemExit(f"vscode_vsix: package.json has no {field}")
    engine = package.get("engines", {}).get("vscode")
    if not isinstance(engine, str) or not engine:
        raise SystemExit("vscode_vsix: package.json has no engines.vscode")
    categories = ",".join(package.get("categories", []))
    return f"""<?xml version="1.0" encoding="utf-8"?>
<PackageManifest Version="2.0.0" xmlns="http://schemas.microsoft.com/developer/vsx-schema/2011" xmlns:d="http://schemas.microsoft.com/developer/vsx-schema-design/2011">
  <Metadata>
    <Identity Language="en-US" Id={quoteattr(package["name"])} Version={quoteattr(package["version"])} Publisher={quoteattr(package["publisher"])} />
    <DisplayName>{escape(package["displayName"])}</DisplayName>
    <Description xml:space="preserve">{escape(package["description"])}</Description>
    <Categories>{escape(categories)}</Categories>
    <GalleryFlags>Public</GalleryFlags>
    <Properties>
      <Property Id="Microsoft.VisualStudio.Code.Engine" Value={quoteattr(engine)} />
      <Property Id="Microsoft.VisualStudio.Code.ExtensionDependencies" Value="" />
      <Property Id="Microsoft.VisualStudio.Code.ExtensionPack" Value="" />
      <Property Id="Microsoft.VisualStudio.Code.ExtensionKind" Value="workspace" />
      <Property Id="Microsoft.VisualStudio.Code.LocalizedLanguages" Value="" />
    </Properties>
  </Metadata>
  <Installation>
    <InstallationTarget Id="Microsoft.VisualStudio.Code" />
  </Installation>
  <Dependencies />
  <Assets>
    <Asset Type="Microsoft.VisualStudio.Code.Manifest" Path="extension/package.json" Addressable="true" />
  </Assets>
</PackageManifest>
"""


def content_types(names):
    """[Content_Types].xml for the files named: a default type for each extension, and one of
    its own for each file without an extension (a LICENSE)."""
    extensions = sorted({os.path.splitext(n)[1].lower() for n in names} - {""})
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">']
    for extension in extensions:
        kind = CONTENT_TYPES.get(extension, "application/octet-stream")
        lines.append(f"  <Default Extension={quoteattr(extension[1:])} ContentType={quoteattr(kind)} />")
    for name in names:
        if not os.path.splitext(name)[1]:
            lines.append(f"  <Override PartName={quoteattr('/' + name)} "
                         'ContentType="application/octet-stream" />')
    lines.append("</Types>")
    return "\n".join(lines) + "\n"


def prepare(folder, version):
    package_path = os.path.join(folder, "extension", "package.json")
    with open(package_path, encoding="utf-8") as f:
        package = json.load(f)
    package["version"] = version
    with open(package_path, "w", encoding="utf-8", newline="\n") as f:
        f.write(json.dumps(package, indent=2, ensure_ascii=False) + "\n")
    with open(os.path.join(folder, "extension.vsixmanifest"), "w", encoding="utf-8",
              newline="\n") as f:
        f.write(manifest(package))
    names = files_of(folder)
    with open(os.path.join(folder, "[Content_Types].xml"), "w", encoding="utf-8",
              newline="\n") as f:
        f.write(content_types(names + ["[Content_Types].xml"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("version_file")
    args = parser.parse_args()
    with open(args.version_file, encoding="utf-8") as f:
        version = f.readline().strip()
    if not version:
        raise SystemExit(f"vscode_vsix: {args.version_file} holds no version")
    prepare(args.folder, version)


if __name__ == "__main__":
    sys.exit(main())
