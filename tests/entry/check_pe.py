#!/usr/bin/python3
"""Checks setup.exe's image: a 32-bit x86 GUI program, small enough for the package offset,
importing only Windows' own DLLs, with exactly the resources it should carry (manifest,
version, icon) and no other. Usage: check_pe.py setup.exe. Prints the measured size and exits 1
listing every fault found; being over the 64 KiB size goal is reported, not a fault.
"""
import re
import struct
import sys

import pefile

PACKAGE_OFFSET = 0x60000
SIZE_GOAL = 64 * 1024
ALLOWED_DLLS = {'kernel32.dll', 'user32.dll', 'advapi32.dll', 'msvcrt.dll'}

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
LANG_EN_US, LANG_JA_JP = 0x0409, 0x0411

VISTA = '{e2011457-1546-43c5-a5fe-008deee3d3f0}'
WINDOWS_7 = '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}'

STANDARD_KEYS = ['Comments', 'CompanyName', 'FileDescription', 'FileVersion', 'InternalName',
                 'LegalCopyright', 'LegalTrademarks', 'OriginalFilename', 'PrivateBuild',
                 'ProductName', 'ProductVersion', 'SpecialBuild']
NON_EMPTY = {'CompanyName': 'Quillmere', 'FileDescription': 'Updater for Valnea Tale',
             'FileVersion': '1, 0, 0, 0'}

faults = []
notes = []


def check(condition, message):
    if not condition:
        faults.append(message)


def resources(pe):
    """{type: {id: {language: bytes}}} of the whole resource tree."""
    tree = {}
    if not hasattr(pe, 'DIRECTORY_ENTRY_RESOURCE'):
        return tree
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        type_key = type_entry.id if type_entry.id is not None else str(type_entry.name)
        for name_entry in type_entry.directory.entries:
            name_key = name_entry.id if name_entry.id is not None else str(name_entry.name)
            for lang_entry in name_entry.directory.entries:
                rva = lang_entry.data.struct.OffsetToData
                size = lang_entry.data.struct.Size
                tree.setdefault(type_key, {}).setdefault(name_key, {})[lang_entry.id] = \
                    pe.get_data(rva, size)
    return tree


def only(tree, rtype, label):
    """The single (id, language, data) of a resource type, or None after noting the fault."""
    entries = [(rid, lang, data) for rid, langs in tree.get(rtype, {}).items()
               for lang, data in langs.items()]
    check(len(entries) == 1, '%s: expected exactly one, found %d' % (label, len(entries)))
    return entries[0] if len(entries) == 1 else None


def check_image(pe):
    check(pe.FILE_HEADER.Machine == pefile.MACHINE_TYPE['IMAGE_FILE_MACHINE_I386'],
          'machine is 0x%x, not i386' % pe.FILE_HEADER.Machine)
    check(pe.OPTIONAL_HEADER.Magic == 0x10b, 'not a PE32 image')
    check(pe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE['IMAGE_SUBSYSTEM_WINDOWS_GUI'],
          'subsystem is %d, not Windows GUI' % pe.OPTIONAL_HEADER.Subsystem)
    check(not pe.FILE_HEADER.Characteristics & 0x2000, 'image is a DLL')
    size = len(pe.__data__)
    notes.append('file size %d bytes (%.1f KiB)' % (size, size / 1024))
    check(size < PACKAGE_OFFSET, 'file of %d bytes reaches the package offset 0x%x' % (size, PACKAGE_OFFSET))
    check(pe.OPTIONAL_HEADER.SizeOfImage < PACKAGE_OFFSET, 'image size reaches the package offset')
    # The goal is a measure to watch, not a limit: being over it fails nothing.
    if size > SIZE_GOAL:
        notes.append('WARNING: %d bytes over the %d-byte size goal' % (size - SIZE_GOAL, SIZE_GOAL))
    # Stripped: no symbol table, and no debug sections left behind.
    check(pe.FILE_HEADER.PointerToSymbolTable == 0 and pe.FILE_HEADER.NumberOfSymbols == 0,
          'image carries a symbol table')
    names = [s.Name.rstrip(b'\0').decode('latin-1') for s in pe.sections]
    check(not any(n.startswith('.debug') or n.startswith('/') for n in names),
          'debug sections left: %s' % names)


def check_imports(pe):
    dlls = {entry.dll.decode('latin-1').lower() for entry in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', [])}
    check(dlls <= ALLOWED_DLLS, 'imports DLLs beyond Windows\' own: %s' % sorted(dlls - ALLOWED_DLLS))
    check(not hasattr(pe, 'DIRECTORY_ENTRY_DELAY_IMPORT'), 'has delay-loaded imports')
    notes.append('imports %s' % sorted(dlls))


def check_manifest(tree):
    found = only(tree, RT_MANIFEST, 'manifest')
    if found is None:
        return
    rid, lang, data = found
    check(rid == 1, 'manifest id %s, not 1' % rid)
    check(lang == LANG_EN_US, 'manifest language 0x%04x, not 0x0409' % lang)
    text = data.decode('utf-8')
    check(not text.lstrip().startswith('<?xml'), 'manifest has an XML declaration')
    identity = re.search(r'<assemblyIdentity\b([^>]*)/>', text)
    check(identity is not None, 'manifest has no assemblyIdentity')
    if identity:
        attributes = dict(re.findall(r'(\w+)="([^"]*)"', identity.group(1)))
        expected = {'name': 'Setup', 'version': '1.0.0.0', 'processorArchitecture': 'X86', 'type': 'win32'}
        check(attributes == expected, 'assemblyIdentity is %s' % attributes)
    check(re.search(r'<requestedExecutionLevel\s+level="requireAdministrator"', text) is not None,
          'manifest does not require administrator rights')
    supported = re.findall(r'<supportedOS\s+Id="([^"]+)"', text)
    check(supported == [VISTA, WINDOWS_7], 'supported systems are %s' % supported)


def utf16_string(data, offset):
    end = offset
    while data[end:end + 2] != b'\0\0':
        end += 2
    return data[offset:end].decode('utf-16-le'), end + 2


def align4(offset):
    return (offset + 3) & ~3


def version_blocks(data, offset, end):
    """(key, value bytes, value type, children offset range) of each block in [offset, end)."""
    while offset < end:
        length, value_length, value_type = struct.unpack_from('<HHH', data, offset)
        if length == 0:
            break
        key, after_key = utf16_string(data, offset + 6)
        value_start = align4(after_key)
        value_bytes = value_length * 2 if value_type == 1 else value_length
        children = align4(value_start + value_bytes)
        yield key, data[value_start:value_start + value_bytes], value_type, children, offset + length
        offset = align4(offset + length)


def check_version(tree):
    found = only(tree, RT_VERSION, 'version resource')
    if found is None:
        return
    rid, lang, data = found
    check(rid == 1, 'version resource id %s, not 1' % rid)
    check(lang == LANG_JA_JP, 'version resource language 0x%04x, not 0x0411' % lang)
    root = list(version_blocks(data, 0, len(data)))
    check(len(root) == 1 and root[0][0] == 'VS_VERSION_INFO', 'no VS_VERSION_INFO block')
    if not root:
        return
    _, fixed, _, children, end = root[0]
    (signature, _, file_ms, file_ls, product_ms, product_ls, flags_mask, flags, os_, file_type,
     subtype, date_ms, date_ls) = struct.unpack('<13I', fixed)
    check(signature == 0xFEEF04BD, 'fixed part has a wrong signature')
    check((file_ms, file_ls) == (0x00010000, 0), 'file version is not 1.0.0.0')
    check((product_ms, product_ls) == (0x00010000, 0), 'product version is not 1.0.0.0')
    check(flags == 0, 'file flags 0x%x, not none' % flags)
    check(os_ == 0x40004, 'operating system 0x%x, not VOS_NT_WINDOWS32' % os_)
    check(file_type == 1, 'file type %d, not VFT_APP' % file_type)
    tables = {}
    translations = None
    for key, _, _, kids, kids_end in version_blocks(data, children, end):
        if key == 'StringFileInfo':
            for table, _, _, entries, entries_end in version_blocks(data, kids, kids_end):
                tables[table] = {k: v.decode('utf-16-le').rstrip('\0')
                                 for k, v, _, _, _ in version_blocks(data, entries, entries_end)}
        elif key == 'VarFileInfo':
            for var, value, _, _, _ in version_blocks(data, kids, kids_end):
                if var == 'Translation':
                    translations = [struct.unpack_from('<HH', value, i) for i in range(0, len(value), 4)]
    check(list(tables) == ['041104b0'], 'string tables are %s' % list(tables))
    strings = tables.get('041104b0', {})
    for key in STANDARD_KEYS:
        check(key in strings, 'string table lacks %s' % key)
        if key in strings:
            check(strings[key] == NON_EMPTY.get(key, ''), '%s is %r' % (key, strings[key]))
    check(set(strings) <= set(STANDARD_KEYS), 'string table has extra keys %s' % sorted(set(strings) - set(STANDARD_KEYS)))
    check(translations == [(0x0411, 1200)], 'translations are %s' % translations)


def check_icons(tree):
    found = only(tree, RT_GROUP_ICON, 'icon group')
    if found is None:
        return
    rid, lang, data = found
    check(rid == 101, 'icon group id %s, not 101' % rid)
    check(lang == LANG_JA_JP, 'icon group language 0x%04x, not 0x0411' % lang)
    _, kind, count = struct.unpack_from('<HHH', data, 0)
    check(kind == 1, 'icon group is not of icons')
    listed = []
    for i in range(count):
        width, height, _, _, planes, bits, size, image_id = struct.unpack_from('<BBBBHHIH', data, 6 + 14 * i)
        listed.append((image_id, width, height, bits))
    check(listed == [(1, 48, 48, 32), (2, 32, 32, 32), (3, 16, 16, 32)],
          'icon group lists (id, width, height, bits) %s' % listed)
    images = tree.get(RT_ICON, {})
    check(sorted(images) == [1, 2, 3], 'icon images are %s' % sorted(images))
    for image_id, width, _, _ in listed:
        for image_lang, image in images.get(image_id, {}).items():
            check(image_lang == LANG_JA_JP, 'icon image %d language 0x%04x' % (image_id, image_lang))
            check(not image.startswith(b'\x89PNG'), 'icon image %d is PNG' % image_id)
            header_size, w, h, planes, bits, compression = struct.unpack_from('<IiiHHI', image, 0)
            check(header_size == 40, 'icon image %d has no BITMAPINFOHEADER' % image_id)
            check((w, h, bits, compression) == (width, 2 * width, 32, 0),
                  'icon image %d is %dx%d at %d bits, compression %d' % (image_id, w, h // 2, bits, compression))
            mask_stride = ((width + 31) // 32) * 4
            check(len(image) == 40 + width * width * 4 + mask_stride * width,
                  'icon image %d is %d bytes, not an uncompressed bitmap with its mask' % (image_id, len(image)))


def main():
    if len(sys.argv) != 2:
        sys.exit('usage: check_pe.py setup.exe')
    pe = pefile.PE(sys.argv[1])
    check_image(pe)
    check_imports(pe)
    tree = resources(pe)
    check(set(tree) == {RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST},
          'resource types are %s, not manifest, version and icon only' % sorted(map(str, tree)))
    check_manifest(tree)
    check_version(tree)
    check_icons(tree)
    for note in notes:
        print(note)
    for fault in faults:
        print('FAULT: ' + fault)
    sys.exit(1 if faults else 0)


if __name__ == '__main__':
    main()
