"""A real SMTP server on loopback for the tests (aiosmtpd), recording what it sees.

Usage: smtp_server.py EVENTS_FILE [--mode accept|reject-sender|reject-recipient|reject-data]
                      [--user HEX --password HEX] [--mechanisms LOGIN,PLAIN] [--starttls]

Listens on 127.0.0.1 on a free port and prints "PORT <n>" once it does. Every
connection, command, login and mail is appended to EVENTS_FILE as one JSON line;
mails carry their raw bytes and what Python's own MIME parser makes of them, so
the tests compare against an independent decoder. With --starttls it offers
STARTTLS with a self-signed certificate (which no client trusts). Ends when its
stdin closes.
"""

import argparse
import asyncio
import base64
import email
import email.header
import email.policy
import email.utils
import functools
import itertools
import json
import os
import ssl
import subprocess
import logging
import sys
import threading
import warnings

from aiosmtpd.smtp import SMTP, AuthResult


def b64(data):
    return base64.b64encode(data).decode("ascii")


class Recorder:
    def __init__(self, path):
        self.file = open(path, "a", encoding="utf-8")

    def write(self, **event):
        self.file.write(json.dumps(event) + "\n")
        self.file.flush()


def mail_event(raw):
    msg = email.message_from_bytes(raw, policy=email.policy.compat32)
    subject = b""
    charsets = []
    for part, charset in email.header.decode_header(msg.get("Subject", "")):
        subject += part if isinstance(part, bytes) else part.encode("ascii", "replace")
        charsets.append(charset or "")
    body = msg.get_payload(decode=True) or b""
    try:
        date_ok = email.utils.parsedate_to_datetime(msg.get("Date", "")) is not None
    except (TypeError, ValueError, IndexError):
        date_ok = False
    return dict(
        raw=b64(raw),
        subject=b64(subject),
        subject_charsets=charsets,
        body=b64(body),
        content_type=msg.get_content_type(),
        charset=msg.get_content_charset() or "",
        transfer_encoding=msg.get("Content-Transfer-Encoding", ""),
        date_ok=date_ok,
        headers={k: str(v) for k, v in msg.items()},
        defects=[type(d).__name__ for d in msg.defects],
    )


def main():
    # aiosmtpd warns about login without TLS, which is what loopback tests want.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    ap = argparse.ArgumentParser()
    ap.add_argument("events")
    ap.add_argument("--mode", default="accept")
    ap.add_argument("--user", default="")
    ap.add_argument("--password", default="")
    ap.add_argument("--mechanisms", default="LOGIN,PLAIN")
    ap.add_argument("--starttls", action="store_true")
    args = ap.parse_args()
    rec = Recorder(args.events)
    user = bytes.fromhex(args.user)
    password = bytes.fromhex(args.password)
    ids = itertools.count(1)

    class Handler:
        async def handle_MAIL(self, server, session, envelope, address, options):
            if args.mode == "reject-sender":
                return "550 5.7.1 Sender rejected"
            envelope.mail_from = address
            envelope.mail_options.extend(options)
            return "250 OK"

        async def handle_RCPT(self, server, session, envelope, address, options):
            if args.mode == "reject-recipient":
                return "550 5.1.1 Mailbox unavailable"
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            if args.mode == "reject-data":
                return "554 5.6.0 Message refused"
            raw = envelope.original_content or envelope.content
            rec.write(event="mail", conn=server.conn_id, mail_from=envelope.mail_from,
                      rcpt_tos=list(envelope.rcpt_tos), **mail_event(raw))
            return "250 2.0.0 Accepted"

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = auth_data.login == user and auth_data.password == password
        rec.write(event="auth", conn=server.conn_id, mechanism=mechanism,
                  login=auth_data.login.hex(), success=ok)
        return AuthResult(success=ok, handled=False)

    class RecordingSMTP(SMTP):
        def connection_made(self, transport):
            self.conn_id = next(ids)
            rec.write(event="connect", conn=self.conn_id)
            super().connection_made(transport)

        def connection_lost(self, exc):
            rec.write(event="disconnect", conn=self.conn_id)
            super().connection_lost(exc)

    def recorded(verb, method):
        @functools.wraps(method)
        async def wrapper(self, arg):
            rec.write(event="command", conn=self.conn_id, verb=verb, arg=arg or "")
            return await method(self, arg)
        return wrapper

    for name, method in list(vars(SMTP).items()):
        if name.startswith("smtp_"):
            setattr(RecordingSMTP, name, recorded(name[5:], method))

    options = {}
    if user or password:
        offered = {m.strip().upper() for m in args.mechanisms.split(",") if m.strip()}
        options = dict(authenticator=authenticator, auth_required=True, auth_require_tls=False,
                       auth_exclude_mechanism=[m for m in ("LOGIN", "PLAIN") if m not in offered])

    if args.starttls:
        here = os.path.dirname(os.path.abspath(args.events))
        cert, key = os.path.join(here, "cert.pem"), os.path.join(here, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(cert, key)
        options["tls_context"] = context

    async def serve():
        loop = asyncio.get_running_loop()
        server = await loop.create_server(
            lambda: RecordingSMTP(Handler(), hostname="quillmoor.test", **options), "127.0.0.1", 0)
        print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
        done = asyncio.Event()
        threading.Thread(target=lambda: (sys.stdin.read(), loop.call_soon_threadsafe(done.set)),
                         daemon=True).start()
        await done.wait()
        server.close()
        await server.wait_closed()

    asyncio.run(serve())


if __name__ == "__main__":
    main()
