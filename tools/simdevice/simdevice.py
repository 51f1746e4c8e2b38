#!/usr/bin/env python3
"""A simulated iPhone behind a simulated usbmuxd, for driving the real device
library end to end without hardware.

Listens on a UNIX socket that libusbmuxd reaches through USBMUXD_SOCKET_ADDRESS
("UNIX:<path>") and plays one paired device: lockdown (with its TLS session),
the notification proxy, AFC and the mobilebackup2 DeviceLink service, which
runs a scripted backup of a small sample backup (samplebackup.py).

Every request the device sees is appended to <workdir>/events.jsonl, one JSON
object a line, so that tests can check what the host did. Prints "ready" on
standard output once it listens. Stops on SIGTERM or SIGINT; SIGUSR1 unplugs
the device (usbmuxd lists nothing, open connections drop), SIGUSR2 plugs it in.

Scenarios (--scenario):
  ok            a full backup that ends with ErrorCode 0
  error         the backup ends with a device error (--error-code, --error-text)
  unplug        the device goes away between two uploaded files
  unplug-mid-file  the device goes away in the middle of a file's data
  silent        the device stops talking for --silent-seconds, then finishes
  cancel        the device posts syncCancelRequest during the upload
  hostile       the device names files outside the backup root
  slow          like ok, but pauses --slow-ms between upload files
"""

import argparse
import json
import os
import plistlib
import signal
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import warnings

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import samplebackup  # noqa: E402

LOCKDOWN_PORT = 62078
EMPTY_PARAMETER = "___EmptyParameterString___"


class Closed(Exception):
    pass


def recv_exact(sock, n):
    data = bytearray()
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise Closed()
        data += chunk
    return bytes(data)


def send_plist_framed(sock, value, binary=False):
    payload = plistlib.dumps(value, fmt=plistlib.FMT_BINARY if binary else plistlib.FMT_XML)
    # Length and payload in one send: the library reads them back to back.
    sock.sendall(struct.pack(">I", len(payload)) + payload)


def recv_plist_framed(sock):
    (length,) = struct.unpack(">I", recv_exact(sock, 4))
    if length > 64 * 1024 * 1024:
        raise Closed()
    return plistlib.loads(recv_exact(sock, length))


class Device:
    """The state of the one simulated phone, shared by all connections."""

    def __init__(self, args):
        self.args = args
        self.udid = args.udid
        self.attached = True
        self.lock = threading.Lock()
        self.connections = []
        self.next_port = 49152
        self.services = {}
        self.events_path = os.path.join(args.workdir, "events.jsonl")
        self.will_encrypt = args.will_encrypt
        self.lock_busy_left = args.lock_busy
        self.notification_sockets = []
        self.make_certificates()

    # --- bookkeeping -----------------------------------------------------
    def event(self, kind, **fields):
        fields["event"] = kind
        with self.lock:
            with open(self.events_path, "a", encoding="utf-8") as f:
                f.write(json.dumps(fields, default=str) + "\n")

    def register(self, sock):
        with self.lock:
            self.connections.append(sock)

    def unplug(self):
        with self.lock:
            self.attached = False
            connections, self.connections = self.connections, []
        for sock in connections:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        self.event("unplug")

    def allocate_service(self, name):
        with self.lock:
            port = self.next_port
            self.next_port += 1
            self.services[port] = name
            return port

    # --- pairing ---------------------------------------------------------
    def make_certificates(self):
        folder = os.path.join(self.args.workdir, "pki")
        os.makedirs(folder, exist_ok=True)

        def run(*cmd):
            subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def key(name):
            path = os.path.join(folder, name + ".key")
            if not os.path.exists(path):
                run("openssl", "genrsa", "-traditional", "-out", path, "2048")
            return path

        root_key, host_key, device_key = key("root"), key("host"), key("device")
        root_crt = os.path.join(folder, "root.crt")
        if not os.path.exists(root_crt):
            run("openssl", "req", "-x509", "-new", "-key", root_key, "-sha256", "-days", "30",
                "-subj", "/CN=Simulated Root", "-out", root_crt)
        for name, k in (("host", host_key), ("device", device_key)):
            crt = os.path.join(folder, name + ".crt")
            if not os.path.exists(crt):
                csr = os.path.join(folder, name + ".csr")
                run("openssl", "req", "-new", "-key", k, "-subj", f"/CN=Simulated {name}",
                    "-out", csr)
                run("openssl", "x509", "-req", "-in", csr, "-CA", root_crt, "-CAkey", root_key,
                    "-CAcreateserial", "-sha256", "-days", "30", "-out", crt)

        def read(path):
            with open(path, "rb") as f:
                return f.read()

        self.device_crt = os.path.join(folder, "device.crt")
        self.device_key = device_key
        self.pair_record = {
            "DeviceCertificate": read(self.device_crt),
            "HostCertificate": read(os.path.join(folder, "host.crt")),
            "HostPrivateKey": read(host_key),
            "RootCertificate": read(root_crt),
            "RootPrivateKey": read(root_key),
            "HostID": "5E2A1D2C-0000-4000-8000-000000000001",
            "SystemBUID": "5E2A1D2C-0000-4000-8000-000000000002",
            "EscrowBag": b"simulated escrow bag",
            "WiFiMACAddress": "00:11:22:33:44:55",
        }
        self.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.tls.load_cert_chain(self.device_crt, self.device_key)
        # The library offers only TLS 1.0 to devices below version 10.
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            self.tls.minimum_version = ssl.TLSVersion.TLSv1
        self.tls.set_ciphers("DEFAULT:@SECLEVEL=0")

    def values(self):
        a = self.args
        values = {
            "BuildVersion": "16G77", "DeviceName": a.name, "DeviceClass": a.device_class,
            "ProductVersion": a.version, "ProductType": "iPhone10,4",
            "SerialNumber": "F00SIMULATED", "UniqueDeviceID": self.udid,
            "InternationalMobileEquipmentIdentity": "350000000000001",
            "PhoneNumber": "+1 555 123 0000",
        }
        return values

    def domain_values(self, domain):
        if domain == "com.apple.mobile.backup":
            return {"WillEncrypt": self.will_encrypt}
        if domain == "com.apple.iTunes":
            return {"MinITunesVersion": "10.0.1"}
        return None


# --- usbmuxd ---------------------------------------------------------------
class MuxConnection(threading.Thread):
    def __init__(self, device, sock):
        super().__init__(daemon=True)
        self.device, self.sock = device, sock

    def reply(self, tag, value):
        payload = plistlib.dumps(value, fmt=plistlib.FMT_XML)
        self.sock.sendall(struct.pack("<IIII", 16 + len(payload), 1, 8, tag) + payload)

    def device_entry(self):
        return {"DeviceID": 1, "MessageType": "Attached", "Properties": {
            "ConnectionType": "USB", "DeviceID": 1, "LocationID": 0, "ProductID": 0x12a8,
            "SerialNumber": self.device.udid, "ConnectionSpeed": 480000000}}

    def run(self):
        try:
            self.serve()
        except (Closed, OSError, plistlib.InvalidFileException, ValueError):
            pass
        finally:
            try:
                self.sock.close()
            except OSError:
                pass

    def serve(self):
        d = self.device
        while True:
            length, _version, message, tag = struct.unpack("<IIII", recv_exact(self.sock, 16))
            if length < 16 or length > 1024 * 1024:
                return
            body = recv_exact(self.sock, length - 16)
            if message != 8:
                self.reply(tag, {"MessageType": "Result", "Number": 1})
                continue
            request = plistlib.loads(body)
            kind = request.get("MessageType")
            if kind == "ListDevices":
                listing = [self.device_entry()] if d.attached else []
                self.reply(tag, {"DeviceList": listing})
            elif kind == "ReadBUID":
                self.reply(tag, {"BUID": d.pair_record["SystemBUID"]})
            elif kind == "ReadPairRecord":
                if request.get("PairRecordID") == d.udid:
                    record = plistlib.dumps(d.pair_record, fmt=plistlib.FMT_XML)
                    self.reply(tag, {"PairRecordData": record})
                else:
                    self.reply(tag, {"MessageType": "Result", "Number": 2})
            elif kind in ("SavePairRecord", "DeletePairRecord"):
                self.reply(tag, {"MessageType": "Result", "Number": 0})
            elif kind == "Listen":
                self.reply(tag, {"MessageType": "Result", "Number": 0})
                if d.attached:
                    self.reply(0, self.device_entry())
                while True:
                    time.sleep(1)
            elif kind == "Connect":
                raw = int(request.get("PortNumber", 0))
                port = ((raw & 0xFF) << 8) | ((raw >> 8) & 0xFF)
                if not d.attached or (port != LOCKDOWN_PORT and port not in d.services):
                    self.reply(tag, {"MessageType": "Result", "Number": 3})
                    continue
                self.reply(tag, {"MessageType": "Result", "Number": 0})
                d.register(self.sock)
                service = "lockdown" if port == LOCKDOWN_PORT else d.services[port]
                SERVICES[service](d, self.sock)
                return
            else:
                self.reply(tag, {"MessageType": "Result", "Number": 1})


# --- lockdown ----------------------------------------------------------------
def serve_lockdown(d, sock):
    conn = sock
    while True:
        try:
            request = recv_plist_framed(conn)
        except (Closed, OSError, ssl.SSLError):
            return
        verb = request.get("Request")
        d.event("lockdown", request=verb, domain=request.get("Domain"), key=request.get("Key"),
                service=request.get("Service"))
        reply = {"Request": verb}
        if verb == "QueryType":
            reply["Type"] = "com.apple.mobile.lockdown"
        elif verb == "GetValue":
            domain, key = request.get("Domain"), request.get("Key")
            if d.args.probe_fails and d.backup_started():
                reply["Error"] = "GetProhibited"
            else:
                values = d.values() if domain is None else d.domain_values(domain)
                if values is not None and key is not None:
                    values = values.get(key)
                if values is None:
                    reply["Error"] = "MissingValue"
                else:
                    reply["Value"] = values
                    if domain:
                        reply["Domain"] = domain
                    if key:
                        reply["Key"] = key
        elif verb in ("ValidatePair", "Pair") and d.args.untrusted:
            reply["Error"] = "PasswordProtected"
        elif verb in ("ValidatePair", "Pair", "SetValue"):
            pass
        elif verb == "StartSession":
            if d.args.untrusted or request.get("HostID") != d.pair_record["HostID"]:
                reply["Error"] = "InvalidHostID"
                send_plist_framed(conn, reply)
                continue
            reply["SessionID"] = "SIMULATED-SESSION"
            reply["EnableSessionSSL"] = True
            send_plist_framed(conn, reply)
            try:
                conn = d.tls.wrap_socket(sock, server_side=True)
            except (ssl.SSLError, OSError) as e:
                d.event("tls-failed", error=str(e))
                return
            continue
        elif verb == "StopSession":
            send_plist_framed(conn, reply)
            # The client drops TLS here; this session ends with it.
            return
        elif verb == "StartService":
            name = request.get("Service")
            if name not in SERVICES or name == "lockdown":
                reply["Error"] = "InvalidService"
            else:
                reply["Service"] = name
                reply["Port"] = d.allocate_service(name)
                reply["EnableServiceSSL"] = False
        elif verb == "Goodbye":
            send_plist_framed(conn, reply)
            return
        else:
            reply["Error"] = "UnsupportedRequest"
        send_plist_framed(conn, reply)


# --- notification proxy ------------------------------------------------------
def serve_notification_proxy(d, sock):
    with d.lock:
        d.notification_sockets.append(sock)
    while True:
        try:
            request = recv_plist_framed(sock)
        except (Closed, OSError):
            return
        command = request.get("Command")
        d.event("notification", command=command, name=request.get("Name"))
        if command == "Shutdown":
            try:
                send_plist_framed(sock, {"Command": "ProxyDeath"})
            except OSError:
                pass
            return


def relay_notification(d, name):
    with d.lock:
        sockets = list(d.notification_sockets)
    for sock in sockets:
        try:
            send_plist_framed(sock, {"Command": "RelayNotification", "Name": name})
        except OSError:
            pass


# --- AFC ---------------------------------------------------------------------
AFC_MAGIC = b"CFA6LPAA"
AFC_STATUS, AFC_DATA, AFC_GET_FILE_INFO = 0x01, 0x02, 0x0A
AFC_FILE_OPEN, AFC_FILE_OPEN_RES, AFC_READ, AFC_FILE_CLOSE, AFC_FILE_LOCK = (
    0x0D, 0x0E, 0x0F, 0x14, 0x1B)
AFC_FILES = {
    "/iTunes_Control/iTunes/iTunesPrefs": b"simulated iTunes preferences",
    "/Books/iBooksData2.plist": plistlib.dumps({"Books": []}),
}
LOCK_FILE = "/com.apple.itunes.lock_sync"


def serve_afc(d, sock):
    handles = {}
    next_handle = 1
    while True:
        try:
            header = recv_exact(sock, 40)
        except (Closed, OSError):
            return
        magic = header[:8]
        entire, this, packet, op = struct.unpack("<QQQQ", header[8:])
        if magic != AFC_MAGIC or entire < 40 or this < 40 or this > entire:
            return
        rest = recv_exact(sock, entire - 40)
        params, payload = rest[: this - 40], rest[this - 40:]

        def reply(operation, fixed=b"", data=b""):
            head = AFC_MAGIC + struct.pack("<QQQQ", 40 + len(fixed) + len(data),
                                           40 + len(fixed), packet, operation)
            sock.sendall(head + fixed + data)

        def status(code):
            reply(AFC_STATUS, struct.pack("<Q", code))

        if op == AFC_GET_FILE_INFO:
            path = params.split(b"\0")[0].decode()
            d.event("afc", op="info", path=path)
            if path in AFC_FILES:
                info = f"st_size\0{len(AFC_FILES[path])}\0st_ifmt\0S_IFREG\0".encode()
                reply(AFC_DATA, data=info)
            else:
                status(8)
        elif op == AFC_FILE_OPEN:
            (mode,) = struct.unpack("<Q", params[:8])
            path = params[8:].split(b"\0")[0].decode()
            d.event("afc", op="open", path=path, mode=mode)
            if path in AFC_FILES or path == LOCK_FILE:
                handle = next_handle
                next_handle += 1
                handles[handle] = [path, 0]
                reply(AFC_FILE_OPEN_RES, struct.pack("<Q", handle))
            else:
                status(8)
        elif op == AFC_READ:
            handle, length = struct.unpack("<QQ", params[:16])
            entry = handles.get(handle)
            if entry is None:
                status(7)
                continue
            content = AFC_FILES.get(entry[0], b"")
            chunk = content[entry[1]: entry[1] + length]
            entry[1] += len(chunk)
            reply(AFC_DATA, data=chunk)
        elif op == AFC_FILE_LOCK:
            handle, operation = struct.unpack("<QQ", params[:16])
            d.event("afc", op="lock", operation=operation)
            if operation == 6 and d.lock_busy_left > 0:
                d.lock_busy_left -= 1
                status(19)
            else:
                status(0)
        elif op == AFC_FILE_CLOSE:
            (handle,) = struct.unpack("<Q", params[:8])
            entry = handles.pop(handle, None)
            d.event("afc", op="close", path=entry[0] if entry else None)
            status(0)
        else:
            status(15)
        del payload


# --- mobilebackup2 over DeviceLink ---------------------------------------------
class DeviceLink:
    def __init__(self, d, sock):
        self.d, self.sock = d, sock

    def send(self, value):
        send_plist_framed(self.sock, value, binary=True)

    def receive(self):
        return recv_plist_framed(self.sock)

    def process_message(self, body):
        self.send(["DLMessageProcessMessage", body])

    def status_reply(self, expect=None):
        reply = self.receive()
        if not (isinstance(reply, list) and reply and reply[0] == "DLMessageStatusResponse"):
            raise Closed()
        code, text = reply[1], reply[2] if len(reply) > 2 else None
        payload = reply[3] if len(reply) > 3 else None
        self.d.event("status", code=code, text=text if text != EMPTY_PARAMETER else "",
                     payload=payload, expect=expect)
        return code, payload

    def raw(self, data):
        self.sock.sendall(data)


def serve_mobilebackup2(d, sock):
    link = DeviceLink(d, sock)
    try:
        link.send(["DLMessageVersionExchange", 300, 0])
        answer = link.receive()
        if answer[:2] != ["DLMessageVersionExchange", "DLVersionsOk"]:
            return
        link.send(["DLMessageDeviceReady"])
        while True:
            message = link.receive()
            if not isinstance(message, list) or not message:
                return
            if message[0] == "DLMessageDisconnect":
                return
            body = message[1] if len(message) > 1 else {}
            name = body.get("MessageName") if isinstance(body, dict) else None
            d.event("mb2", message=name, body={k: v for k, v in body.items()
                                                if k != "MessageName"})
            if name == "Hello":
                link.process_message({"MessageName": "Response", "ErrorCode": 0,
                                      "ProtocolVersion": 2.1})
            elif name == "Backup":
                d.backup_running.set()
                run_backup(d, link)
            elif name == "ChangePassword":
                change_password(d, link, body)
    except (Closed, OSError, plistlib.InvalidFileException, ValueError, IndexError,
            AttributeError):
        return


def change_password(d, link, body):
    """OldPassword alone switches backup encryption off, NewPassword alone
    switches it on (the phone may first ask for its passcode), both change it."""
    old, new = body.get("OldPassword"), body.get("NewPassword")
    if old is not None and old != d.args.password:
        link.process_message({"MessageName": "Response", "ErrorCode": 207,
                              "ErrorDescription": "Wrong password"})
        return
    if new is not None and d.args.refuse_encryption:
        link.process_message({"MessageName": "Response", "ErrorCode": 208,
                              "ErrorDescription": "The passcode was not entered"})
        return
    if new is not None:
        d.args.password = new
    d.will_encrypt = new is not None
    d.event("encryption", will_encrypt=d.will_encrypt)
    link.process_message({"MessageName": "Response", "ErrorCode": 0})


def read_sent_files(d, link):
    """Reads the host's answer to DLMessageDownloadFiles: per file its name and
    blocks, then four zero bytes, then the status response."""
    while True:
        (length,) = struct.unpack(">I", recv_exact(link.sock, 4))
        if length == 0:
            break
        name = recv_exact(link.sock, length).decode()
        size, outcome = 0, None
        while outcome is None:
            (block,) = struct.unpack(">I", recv_exact(link.sock, 4))
            code = recv_exact(link.sock, 1)[0]
            data = recv_exact(link.sock, block - 1) if block > 1 else b""
            if code == 0x0C:
                size += len(data)
            elif code == 0x00:
                outcome = "ok"
            else:
                outcome = f"error:{data.decode(errors='replace')}"
        d.event("sent-file", name=name, size=size, outcome=outcome)
    return link.status_reply("download")


def upload(d, link, files, progress, after_file=None):
    total = sum(len(data) for _, data in files)
    link.send(["DLMessageUploadFiles", {}, float(progress), total])
    for index, (name, data) in enumerate(files):
        encoded = name.encode()
        link.raw(struct.pack(">I", len(encoded)) + encoded + struct.pack(">I", len(encoded)) +
                 encoded)
        if d.args.scenario == "unplug-mid-file" and index == 1 and data:
            # Half a block, then the cable is pulled.
            piece = data[:32768]
            link.raw(struct.pack(">IB", len(piece) + 1, 0x0C) + piece[: len(piece) // 2])
            time.sleep(0.2)
            d.unplug()
            return None
        for offset in range(0, len(data), 32768):
            piece = data[offset: offset + 32768]
            link.raw(struct.pack(">IB", len(piece) + 1, 0x0C) + piece)
        link.raw(struct.pack(">IB", 1, 0x00))
        if after_file and after_file(index) is False:
            return None
    link.raw(struct.pack(">I", 0))
    return link.status_reply("upload")


def run_backup(d, link):
    a = d.args
    udid = d.udid
    if a.backup_dir:
        files = samplebackup.from_folder(udid, a.backup_dir)
    else:
        files = samplebackup.build(udid, a.version, d.sample_contents)

    # The device first asks for the previous backup's status.
    link.send(["DLMessageDownloadFiles", [f"{udid}/Status.plist"], {}, 1.0])
    read_sent_files(d, link)
    link.send(["DLMessageGetFreeDiskSpace"])
    link.status_reply("free-space")
    link.send(["DLMessageCreateDirectory", f"{udid}/Snapshot"])
    link.status_reply("mkdir")
    link.send(["DLContentsOfDirectory", udid])
    link.status_reply("listing")

    if a.scenario == "hostile":
        hostile = [("../escaped.txt", b"outside"), (f"{udid}/../../escaped2.txt", b"outside"),
                   ("/tmp/fernquill-sim-absolute.txt", b"absolute")]
        upload(d, link, hostile, 5.0)
        link.send(["DLMessageMoveItems", {f"{udid}/Status.plist": "../../moved.txt"}, {}, 6.0])
        link.status_reply("move-hostile")
        link.send(["DLMessageRemoveItems", ["../victim.txt", f"{udid}/../../victim.txt"], {}, 7.0])
        link.status_reply("remove-hostile")
        link.send(["DLMessageCreateDirectory", "../made-outside"])
        link.status_reply("mkdir-hostile")
        link.send(["DLMessageCopyItem", "../victim.txt", f"{udid}/copied.txt"])
        link.status_reply("copy-hostile")
        link.send(["DLMessageDownloadFiles", ["../victim.txt"], {}, 8.0])
        read_sent_files(d, link)

    snapshot = [(n.replace(f"{udid}/", f"{udid}/Snapshot/", 1), b) for n, b in files]
    folders = sorted({n.split("/")[2] for n, _ in snapshot if n.count("/") == 3})
    for folder in folders:
        link.send(["DLMessageCreateDirectory", f"{udid}/Snapshot/{folder}"])
        link.status_reply("mkdir")

    def after_file(index):
        if a.scenario == "unplug" and index == 1:
            d.unplug()
            return False
        if a.scenario == "cancel" and index == 1:
            relay_notification(d, "com.apple.itunes-client.syncCancelRequest")
            time.sleep(2.5)
        if a.scenario == "slow":
            time.sleep(a.slow_ms / 1000.0)
        return True

    if upload(d, link, snapshot, 10.0, after_file) is None:
        return
    if a.scenario == "silent":
        d.event("silent", seconds=a.silent_seconds)
        time.sleep(a.silent_seconds)

    moves = {}
    for name, _ in snapshot:
        parts = name.split("/")
        top = "/".join(parts[:3])
        moves[top] = top.replace("/Snapshot", "", 1)
    link.send(["DLMessageMoveItems", moves, {}, 80.0])
    link.status_reply("move")
    link.send(["DLMessageRemoveItems", [f"{udid}/Snapshot"], {}, 90.0])
    link.status_reply("remove")
    link.send(["DLMessageCopyItem", f"{udid}/Status.plist", f"{udid}/Status.plist.copy"])
    link.status_reply("copy")
    link.send(["DLMessageRemoveItems", [f"{udid}/Status.plist.copy"], {}, 95.0])
    link.status_reply("remove")

    if a.scenario == "error":
        link.process_message({"MessageName": "Response", "ErrorCode": a.error_code,
                              "ErrorDescription": a.error_text})
    else:
        link.process_message({"MessageName": "Response", "ErrorCode": 0,
                              "Content": "Backup finished"})
    d.event("backup-done")


SERVICES = {
    "lockdown": serve_lockdown,
    "com.apple.mobile.notification_proxy": serve_notification_proxy,
    "com.apple.afc": serve_afc,
    "com.apple.mobilebackup2": serve_mobilebackup2,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--socket", required=True, help="UNIX socket path to listen on")
    parser.add_argument("--workdir", help="folder for certificates and events.jsonl")
    parser.add_argument("--scenario", default="ok",
                        choices=["ok", "error", "unplug", "unplug-mid-file", "silent", "cancel",
                                 "hostile", "slow"])
    parser.add_argument("--udid", default="00008020-001a2b3c4d5e6f70")
    parser.add_argument("--name", default="Simulated iPhone")
    parser.add_argument("--device-class", default="iPhone")
    parser.add_argument("--version", default="12.4")
    parser.add_argument("--will-encrypt", action="store_true")
    parser.add_argument("--untrusted", action="store_true",
                        help="the device has not trusted this computer: no session starts")
    parser.add_argument("--password", default="secret", help="backup password the device knows")
    parser.add_argument("--refuse-encryption", action="store_true",
                        help="refuse to switch backup encryption on (no passcode typed)")
    parser.add_argument("--lock-busy", type=int, default=0,
                        help="answer this many sync lock attempts with 'would block'")
    parser.add_argument("--error-code", type=int, default=105)
    parser.add_argument("--error-text", default="Insufficient free disk space on drive")
    parser.add_argument("--silent-seconds", type=float, default=12.0)
    parser.add_argument("--probe-fails", action="store_true",
                        help="refuse lockdown values once a backup has started")
    parser.add_argument("--slow-ms", type=int, default=300)
    parser.add_argument("--address-book", help="upload this AddressBook.sqlitedb instead")
    parser.add_argument("--backup-dir",
                        help="upload the backup stored in this folder instead of the sample")
    args = parser.parse_args()

    args.workdir = args.workdir or tempfile.mkdtemp(prefix="simdevice-")
    os.makedirs(args.workdir, exist_ok=True)
    device = Device(args)
    device.backup_running = threading.Event()
    device.backup_started = device.backup_running.is_set
    device.sample_contents = {}
    if args.address_book:
        with open(args.address_book, "rb") as f:
            device.sample_contents[samplebackup.ADDRESS_BOOK] = f.read()

    if os.path.exists(args.socket):
        os.unlink(args.socket)
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(args.socket)
    server.listen(16)

    def stop(*_):
        try:
            os.unlink(args.socket)
        except OSError:
            pass
        os._exit(0)

    def replug(*_):
        device.attached = True
        device.event("replug")

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    signal.signal(signal.SIGUSR1, lambda *_: device.unplug())
    signal.signal(signal.SIGUSR2, replug)
    try:
        sys.stdout.write("ready\n")
        sys.stdout.flush()
    except OSError:
        pass  # whoever started us stopped listening; serve anyway
    while True:
        client, _ = server.accept()
        MuxConnection(device, client).start()


if __name__ == "__main__":
    main()
