"""A small, valid device backup for the simulated device to upload.

Builds, in memory, the files a phone's backup service streams to the computer:
hashed database and media files, Manifest.db, Manifest.plist and Status.plist.
Kept apart from the simulator so that a shared backup builder can replace it.
"""

import hashlib
import os
import plistlib
import sqlite3
import tempfile
import time

# Domain, relative path: the files the sample phone holds.
SMS_DB = ("HomeDomain", "Library/SMS/sms.db")
ADDRESS_BOOK = ("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb")
PHOTO = ("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG")

# A minimal baseline JPEG (1x1 pixel, grey).
TINY_JPEG = bytes.fromhex(
    "ffd8ffe000104a46494600010100000100010000ffdb004300080606070605080707070909"
    "080a0c140d0c0b0b0c1912130f141d1a1f1e1d1a1c1c20242e2720222c231c1c2837292c30"
    "313434341f27393d38323c2e333432ffc0000b080001000101011100ffc4001f0000010501"
    "010101010100000000000000000102030405060708090a0bffc400b5100002010303020403"
    "050504040000017d01020300041105122131410613516107227114328191a1082342b1c115"
    "52d1f02433627282090a161718191a25262728292a3435363738393a434445464748494a53"
    "5455565758595a636465666768696a737475767778797a838485868788898a929394959697"
    "98999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8"
    "d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9faffda0008010100003f00fbd3ffd9")

MESSAGES = [
    # handle id, from me, seconds since 2001, text
    (1, 0, 600000000, "Are we still on for lunch?"),
    (1, 1, 600000060, "Yes, see you at noon"),
    (2, 0, 600000600, "Your parcel has arrived"),
]
HANDLES = [(1, "+15551230001"), (2, "+15551230002")]
CONTACTS = [
    # first, last, company, phone, email
    ("Ada", "Lovelace", "Analytical Engines", "+15551230001", "ada@example.com"),
    ("Charles", "Babbage", "", "+15551230002", "charles@example.com"),
]


def file_id(domain, relative_path):
    return hashlib.sha1(f"{domain}-{relative_path}".encode()).hexdigest()


def _database_bytes(build):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "db.sqlite")
        connection = sqlite3.connect(path)
        build(connection)
        connection.commit()
        connection.close()
        with open(path, "rb") as f:
            return f.read()


def _build_sms(connection):
    # Column positions as the phone's message table has them (38 columns).
    columns = ["ROWID INTEGER PRIMARY KEY AUTOINCREMENT", "guid TEXT", "text TEXT",
               "replace INTEGER", "service_center TEXT", "handle_id INTEGER",
               "subject TEXT", "country TEXT", "attributedBody BLOB", "version INTEGER",
               "type INTEGER", "service TEXT", "account TEXT", "account_guid TEXT",
               "error INTEGER", "date INTEGER", "date_read INTEGER",
               "date_delivered INTEGER", "is_delivered INTEGER", "is_finished INTEGER",
               "is_emote INTEGER", "is_from_me INTEGER"]
    columns += [f"extra{i} INTEGER" for i in range(len(columns), 38)]
    connection.execute(f"CREATE TABLE message ({', '.join(columns)})")
    connection.execute("CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "id TEXT, country TEXT, service TEXT, uncanonicalized_id TEXT)")
    connection.execute("CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY, guid TEXT, "
                       "created_date INTEGER, start_date INTEGER, filename TEXT)")
    connection.execute("CREATE TABLE message_attachment_join (message_id INTEGER, "
                       "attachment_id INTEGER)")
    for rowid, address in HANDLES:
        connection.execute("INSERT INTO handle VALUES (?, ?, 'us', 'SMS', NULL)",
                           (rowid, address))
    for n, (handle, from_me, date, text) in enumerate(MESSAGES, start=1):
        connection.execute(
            "INSERT INTO message (ROWID, guid, text, handle_id, service, date, is_from_me) "
            "VALUES (?, ?, ?, ?, 'SMS', ?, ?)",
            (n, f"00000000-0000-0000-0000-{n:012d}", text, handle, date, from_me))


def _build_address_book(connection):
    # The full-text index content table: 24 columns, names at 1 and 2, company
    # at 7, phone at 16, e-mail at 17.
    names = ["docid INTEGER PRIMARY KEY"] + [f"c{i}" for i in range(23)]
    connection.execute(f"CREATE TABLE ABPersonFullTextSearch_content ({', '.join(names)})")
    connection.execute("CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY, First TEXT, "
                       "Last TEXT, Organization TEXT)")
    for n, (first, last, company, phone, email) in enumerate(CONTACTS, start=1):
        row = [n] + [None] * 23
        row[1], row[2], row[7], row[16], row[17] = first, last, company, phone, email
        connection.execute(
            f"INSERT INTO ABPersonFullTextSearch_content VALUES ({', '.join('?' * 24)})", row)
        connection.execute("INSERT INTO ABPerson VALUES (?, ?, ?, ?)", (n, first, last, company))


def _manifest_db(entries):
    def build(connection):
        connection.execute("CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, "
                           "relativePath TEXT, flags INTEGER, file BLOB)")
        connection.execute("CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB)")
        for domain, path, size in entries:
            meta = plistlib.dumps({"Size": size, "Domain": domain, "RelativePath": path},
                                  fmt=plistlib.FMT_BINARY)
            connection.execute("INSERT INTO Files VALUES (?, ?, ?, 1, ?)",
                               (file_id(domain, path), domain, path, meta))
    return _database_bytes(build)


def build(udid, product_version="12.4", contents=None):
    """Returns [(relative name, bytes)] for one full backup of device `udid`.

    Names are relative to the backup root, beginning with the UDID; hashed
    files sit in two-character subfolders on versions above 9 and directly in
    the device folder below. `contents` may replace a file's bytes by
    (domain, path) key.
    """
    major = int(product_version.split(".")[0]) if product_version.split(".")[0].isdigit() else 0
    files = {
        SMS_DB: _database_bytes(_build_sms),
        ADDRESS_BOOK: _database_bytes(_build_address_book),
        PHOTO: TINY_JPEG,
    }
    files.update(contents or {})
    out = []
    for (domain, path), data in files.items():
        fid = file_id(domain, path)
        out.append((f"{udid}/{fid[:2]}/{fid}" if major > 9 else f"{udid}/{fid}", data))
    out.append((f"{udid}/Manifest.db",
                _manifest_db([(d, p, len(b)) for (d, p), b in files.items()])))
    out.append((f"{udid}/Manifest.plist", plistlib.dumps({
        "IsEncrypted": False, "Version": "10.0",
        "Lockdown": {"ProductVersion": product_version, "UniqueDeviceID": udid},
    })))
    out.append((f"{udid}/Status.plist", plistlib.dumps({
        "SnapshotState": "finished", "IsFullBackup": True, "Version": "3.3",
        "UUID": udid.upper(), "BackupState": "new"})))
    return out


def from_folder(udid, folder):
    """Returns [(relative name, bytes)] for the backup stored in `folder` (as
    a backup builder writes it), to be uploaded as device `udid`'s backup.
    Info.plist is left out: the computer writes its own."""
    out = []
    for current, _dirs, names in sorted(os.walk(folder)):
        for name in sorted(names):
            path = os.path.join(current, name)
            relative = os.path.relpath(path, folder).replace(os.sep, "/")
            if relative == "Info.plist" or os.path.islink(path):
                continue
            with open(path, "rb") as f:
                out.append((f"{udid}/{relative}", f.read()))
    if not any(n == f"{udid}/Status.plist" for n, _ in out):
        out.append((f"{udid}/Status.plist", plistlib.dumps({"SnapshotState": "finished"})))
    return out
