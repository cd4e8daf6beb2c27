#!/usr/bin/env python3
"""Writes the assembly manifest that lets programs use Korvex.dll without registration.

The class, library and interface identifiers and the coclass name come from the type library's
IDL source, the assembly version is the one the build gives the DLL's version resource, so the
manifest cannot drift from the library it describes.

    mkmanifest.py IDL VERSION SERVER_NAME x86|amd64 OUT
"""
import re
import sys

# IDispatch, and the automation marshaller that builds proxies of dual interfaces from the type
# library.
IID_IDISPATCH = "{00020400-0000-0000-C000-000000000046}"
PSOAINTERFACE = "{00020424-0000-0000-C000-000000000046}"
# The control's misc status as the registry carries it (132497), in the manifest's words.
MISC_STATUS = ("recomposeonresize,cantlinkinside,insideout,activatewhenvisible,"
               "setclientsitefirst,invisibleatruntime")


def braced(uuid):
    return "{" + uuid.upper() + "}"


def declarations(idl):
    """Yields (attributes, kind, name) for the library, each interface and each coclass."""
    pattern = re.compile(r"\[([^\[\]]*)\]\s*(library|interface|coclass)\s+(\w+)", re.S)
    for match in pattern.finditer(idl):
        yield match.group(1), match.group(2), match.group(3)


def attribute(attributes, name):
    match = re.search(name + r"\(([^)]*)\)", attributes)
    if not match:
        sys.exit(f"mkmanifest: no {name} in [{attributes.strip()}]")
    return match.group(1).strip()


def manifest(idl, version, server, arch):
    library = coclass = None
    interfaces = []
    for attributes, kind, name in declarations(idl):
        if kind == "library":
            library = attributes
        elif kind == "coclass":
            coclass = (attributes, name)
        elif "dual" in attributes or "oleautomation" in attributes:
            interfaces.append((attributes, name))
    if library is None or coclass is None or not interfaces:
        sys.exit("mkmanifest: the IDL lacks the library, its coclass or a dual interface")
    tlbid = braced(attribute(library, "uuid"))
    lines = [
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>',
        '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">',
        f'  <assemblyIdentity type="win32" name="Korvex" version="{version}"'
        f' processorArchitecture="{arch}"/>',
        '  <file name="Korvex.dll">',
        f'    <comClass clsid="{braced(attribute(coclass[0], "uuid"))}"'
        f' progid="{server}.{coclass[1]}" threadingModel="Apartment" tlbid="{tlbid}"'
        f' miscStatus="{MISC_STATUS}"/>',
        f'    <typelib tlbid="{tlbid}" version="{attribute(library, "version")}" helpdir=""/>',
        '  </file>',
    ]
    for attributes, name in interfaces:
        lines.append(f'  <comInterfaceExternalProxyStub name="{name}"'
                     f' iid="{braced(attribute(attributes, "uuid"))}"'
                     f' proxyStubClsid32="{PSOAINTERFACE}" baseInterface="{IID_IDISPATCH}"'
                     f' tlbid="{tlbid}"/>')
    lines.append('</assembly>')
    return "\r\n".join(lines) + "\r\n"


def main():
    if (len(sys.argv) != 6 or sys.argv[4] not in ("x86", "amd64")
            or not re.fullmatch(r"\d+\.\d+\.\d+\.\d+", sys.argv[2])):
        sys.exit(__doc__.strip().splitlines()[-1])
    idl_path, version, server, arch, out = sys.argv[1:]
    with open(idl_path, encoding="utf-8") as f:
        idl = f.read()
    with open(out, "w", encoding="utf-8", newline="") as f:
        f.write(manifest(idl, version, server, arch))


if __name__ == "__main__":
    main()
