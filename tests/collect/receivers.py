"""A mail server and a webhook on 127.0.0.1 that keep what they receive, for the collector's
alert tests and the demo site.

  receivers.py smtp PORT CERT KEY USER PASSWORD MAILBOX LOG
      SMTP that demands STARTTLS and a sign-in; each mail goes into the mbox file MAILBOX and,
      decoded, as one JSON line into LOG.
  receivers.py webhook PORT LOG [DELAY]
      HTTP that takes POSTs; each body as one JSON line into LOG, answered after DELAY seconds.
Runs until killed."""
import asyncio
import email
import json
import mailbox
import ssl
import sys
import logging
import time
from email import policy
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def append_line(path, record):
    record["at"] = time.time()
    with open(path, "a", encoding="utf-8") as log:
        log.write(json.dumps(record, ensure_ascii=False) + "\n")


def run_smtp(port, cert, key, user, password, mbox_path, log_path):
    from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)

    class Keep:
        async def handle_DATA(self, server, session, envelope):
            message = email.message_from_bytes(envelope.content, policy=policy.default)
            box = mailbox.mbox(mbox_path)
            box.add(envelope.content)
            box.flush()
            append_line(log_path, {"from": envelope.mail_from, "to": envelope.rcpt_tos,
                                   "subject": str(message["subject"]),
                                   "body": message.get_content(), "tls": session.ssl is not None})
            return "250 kept"

    def check(server, session, envelope, mechanism, data):
        ok = isinstance(data, LoginPassword) and data.login.decode() == user and \
            data.password.decode() == password
        return AuthResult(success=ok)

    def factory():
        return SMTP(Keep(), hostname="localhost", tls_context=context, require_starttls=True,
                    auth_required=True, authenticator=check)

    loop = asyncio.new_event_loop()
    loop.run_until_complete(loop.create_server(factory, "127.0.0.1", port))
    loop.run_forever()


def run_webhook(port, log_path, delay):
    class Hook(BaseHTTPRequestHandler):
        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
            time.sleep(delay)
            append_line(log_path, {"type": self.headers.get("Content-Type"),
                                   "alert": json.loads(body)})
            self.send_response(204)
            self.end_headers()

        def log_message(self, *args):
            pass

    ThreadingHTTPServer(("127.0.0.1", port), Hook).serve_forever()


if __name__ == "__main__":
    # aiosmtpd warns of its own deprecated field on every sign-in.
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    kind, args = sys.argv[1], sys.argv[2:]
    if kind == "smtp":
        run_smtp(int(args[0]), *args[1:7])
    else:
        run_webhook(int(args[0]), args[1], float(args[2]) if len(args) > 2 else 0)
