"""A real SMTP server (aiosmtpd) on loopback that records what the program sends.

It offers AUTH LOGIN and PLAIN without TLS and accepts any login, recording it. In
refusing mode it answers every MAIL command with 550, so each attempt of the
program's mail loop is counted and none is accepted.
"""

import email
import email.policy
import threading
import logging

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

# aiosmtpd 1.4 logs a warning about an attribute of its own that it sets itself.
logging.getLogger("mail.log").setLevel(logging.ERROR)


class Recorder:
    def __init__(self, refuse):
        self.refuse = refuse
        self.lock = threading.Lock()
        self.mails = []      # accepted messages: dict(sender, recipients, data)
        self.attempts = 0    # MAIL commands seen
        self.logins = []     # (mechanism, login, password)
        self.sessions = 0

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        with self.lock:
            self.sessions += 1
        session.host_name = hostname
        return responses

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        with self.lock:
            self.attempts += 1
        if self.refuse:
            return "550 5.7.1 Sending refused by this server"
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            self.mails.append({
                "sender": envelope.mail_from,
                "recipients": list(envelope.rcpt_tos),
                "data": envelope.original_content or envelope.content,
            })
        return "250 Message accepted for delivery"

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        login = getattr(auth_data, "login", b"")
        password = getattr(auth_data, "password", b"")
        with self.lock:
            self.logins.append((mechanism, bytes(login or b""), bytes(password or b"")))
        return AuthResult(success=True)


class MailStub:
    def __init__(self, host, port, refuse=False):
        self.recorder = Recorder(refuse)
        self.controller = Controller(
            self.recorder, hostname=host, port=port, authenticator=self.recorder.authenticate,
            auth_require_tls=False, auth_required=False, ready_timeout=10)

    def start(self):
        self.controller.start()
        return self

    def stop(self):
        self.controller.stop()

    @property
    def attempts(self):
        with self.recorder.lock:
            return self.recorder.attempts

    @property
    def logins(self):
        with self.recorder.lock:
            return list(self.recorder.logins)

    def messages(self):
        """The accepted mails, parsed: (record, email.message.EmailMessage)."""
        with self.recorder.lock:
            mails = list(self.recorder.mails)
        return [(m, email.message_from_bytes(m["data"], policy=email.policy.default))
                for m in mails]
