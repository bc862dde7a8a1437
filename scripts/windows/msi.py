#!/usr/bin/env python3
"""Writes the installer's source for wixl: every file of the dist folder
installed per machine into Program Files\\TextCnv, a Start-menu shortcut to
TextCnv.exe, the product with its version and icon in Add/Remove Programs.

    msi.py DIST_FOLDER VERSION ICON OUTPUT.wxs
    msi.py --codepage FILE.msi      after wixl: the database's strings are
                                    Japanese (CP932), and say so

The sources are named relative to the current folder (wixl takes no
absolute ones): run wixl from the same folder.

Each file is a component of its own whose GUID comes from its path, so the
same file keeps its GUID from one build to the next, as Windows Installer
wants for upgrades and repairs."""

import os
import pathlib
import struct
import sys
import uuid
from xml.sax.saxutils import quoteattr

# Never change: Windows knows the product by it across versions.
UPGRADE_CODE = "6F3A2C1E-8B4D-4E7A-9C2F-5D1B0A7E3C94"
TITLE = "Velmoraテキストユーティリティ"
NAMESPACE = uuid.UUID(UPGRADE_CODE)


def ident(kind, relative):
    # Ids are at most 72 characters of letters, digits, _ and .: a hash of the path.
    return f"{kind}_{uuid.uuid5(NAMESPACE, kind + '/' + relative).hex[:24]}"


def tree(folder, relative, indent, components):
    lines = []
    for entry in sorted(folder.iterdir()):
        rel = f"{relative}/{entry.name}" if relative else entry.name
        if entry.is_dir():
            lines.append(f'{indent}<Directory Id="{ident("dir", rel)}" Name={quoteattr(entry.name)}>')
            lines += tree(entry, rel, indent + "  ", components)
            lines.append(f"{indent}</Directory>")
            continue
        component = ident("cmp", rel)
        components.append(component)
        guid = str(uuid.uuid5(NAMESPACE, rel)).upper()
        lines.append(f'{indent}<Component Id="{component}" Guid="{guid}" Win64="yes">')
        lines.append(f'{indent}  <File Id="{ident("fil", rel)}" Name={quoteattr(entry.name)}'
                     f' Source={quoteattr(os.path.relpath(entry))} KeyPath="yes"/>')
        lines.append(f"{indent}</Component>")
    return lines


# wixl 0.101 writes the database's strings in the code page of the language
# it is told (WINDOWS_LANGUAGE=ja: 932) but marks the string pool as in the
# installing machine's code page (0); a Windows of another language would
# show the Japanese names garbled. The pool's first four bytes are its code
# page: found through the compound file's directory and set to 932.
def stream_name(name):
    """The compound-file name Windows Installer gives a table's stream."""
    digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._"
    out, i = chr(0x4840), 0
    while i < len(name):
        first = digits.index(name[i])
        if i + 1 < len(name):
            out += chr(0x3800 + first + (digits.index(name[i + 1]) << 6))
            i += 2
        else:
            out += chr(0x4800 + first)
            i += 1
    return out


def set_string_pool_codepage(path, codepage):
    data = bytearray(pathlib.Path(path).read_bytes())
    sector = 1 << struct.unpack_from("<H", data, 0x1E)[0]
    mini = 1 << struct.unpack_from("<H", data, 0x20)[0]
    first_dir, cutoff = struct.unpack_from("<I4xI", data, 0x30)
    offset = lambda s: (s + 1) * sector
    # The allocation table's sectors: 109 in the header, the rest in a chain.
    fat_sectors = list(struct.unpack_from("<109I", data, 0x4C))
    next_difat, count = struct.unpack_from("<II", data, 0x44)
    for _ in range(count):
        entries = struct.unpack_from(f"<{sector // 4}I", data, offset(next_difat))
        fat_sectors += entries[:-1]
        next_difat = entries[-1]
    fat_sectors = [s for s in fat_sectors if s < 0xFFFFFFFA]
    fat = [x for s in fat_sectors for x in struct.unpack_from(f"<{sector // 4}I", data, offset(s))]

    def chain(start):
        while start < 0xFFFFFFFA:
            yield start
            start = fat[start]

    directory = b"".join(data[offset(s):offset(s) + sector] for s in chain(first_dir))
    entries = [directory[i:i + 128] for i in range(0, len(directory), 128)]
    wanted = stream_name("_StringPool")
    for entry in entries:
        length = struct.unpack_from("<H", entry, 0x40)[0]
        if entry[:max(length - 2, 0)].decode("utf-16-le") != wanted:
            continue
        start, size = struct.unpack_from("<II", entry, 0x74)
        if size >= cutoff:
            where = offset(start)
        else:
            # In the mini stream (the root entry's); the first bytes lie in
            # the stream's first mini sector.
            root_start = struct.unpack_from("<I", entries[0], 0x74)[0]
            byte = start * mini
            ministream = list(chain(root_start))
            where = offset(ministream[byte // sector]) + byte % sector
        high = data[where + 3] & 0x80
        struct.pack_into("<I", data, where, codepage | (high << 24))
        pathlib.Path(path).write_bytes(bytes(data))
        return
    raise SystemExit(f"{path}: no string pool")


def main():
    if sys.argv[1] == "--codepage":
        set_string_pool_codepage(sys.argv[2], 932)
        return
    dist, version, icon, output = sys.argv[1:5]
    components = []
    files = tree(pathlib.Path(dist).resolve(), "", "          ", components)
    refs = [f'      <ComponentRef Id="{c}"/>' for c in components]
    text = f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="{TITLE}" Language="1041" Codepage="932" Version="{version}"
           Manufacturer="Velmora" UpgradeCode="{UPGRADE_CODE}">
    <!-- The summary stays in ASCII: wixl 0.101 fails on a Japanese summary
         code page. -->
    <Package InstallerVersion="500" Compressed="yes"
             Languages="1041" Description="TextCnv {version}" Manufacturer="Velmora"/>
    <Media Id="1" Cabinet="textcnv.cab" EmbedCab="yes"/>
    <MajorUpgrade DowngradeErrorMessage="新しい版の{TITLE}が既に入っています。"/>
    <Icon Id="textcnv.ico" SourceFile={quoteattr(os.path.relpath(icon))}/>
    <Property Id="ARPPRODUCTICON" Value="textcnv.ico"/>
    <!-- For every user of the machine, into Program Files. -->
    <Property Id="ALLUSERS" Value="1"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFiles64Folder">
        <Directory Id="INSTALLDIR" Name="TextCnv">
{chr(10).join(files)}
        </Directory>
      </Directory>
      <Directory Id="ProgramMenuFolder">
        <Component Id="StartMenu" Guid="{uuid.uuid5(NAMESPACE, 'start menu')}" Win64="yes">
          <Shortcut Id="StartMenuShortcut" Name="{TITLE}" Target="[INSTALLDIR]TextCnv.exe"
                    WorkingDirectory="INSTALLDIR" Icon="textcnv.ico"/>
          <RegistryValue Root="HKLM" Key="Software\\Velmora\\TextCnv" Name="StartMenuShortcut"
                         Type="integer" Value="1" KeyPath="yes"/>
        </Component>
      </Directory>
    </Directory>
    <Feature Id="Complete" Level="1">
{chr(10).join(refs)}
      <ComponentRef Id="StartMenu"/>
    </Feature>
  </Product>
</Wix>
"""
    pathlib.Path(output).write_text(text, encoding="utf-8")


main()
