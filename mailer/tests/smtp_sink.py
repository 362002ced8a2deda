"""A local SMTP server for the mailer's tests and benchmarks.

Usage: smtp_sink.py HOST PORT OUTDIR [OPTIONS]   (PORT 0: a free port)

Options for a submission server:
  --starttls CERT KEY    offer STARTTLS with this certificate and key
  --tls CERT KEY         speak TLS from the first byte
  --login USER:PASSWORD  offer AUTH PLAIN and LOGIN and accept this one login; a message is
                         only taken after it. Logins are refused over a clear connection
                         unless --login-in-clear is given.
  --login-in-clear       accept logins over a clear connection
  --no-plain             offer AUTH LOGIN only
  --password-hex HEX     the password of --login, as the hex digits of its UTF-8 bytes
  --echo-login           before answering a login, echo every line of it back, as a hostile
                         server could: each line cut in two by a pause, then each line
                         again with its middle on byte 2048 of the reply's one write
  --log FILE             write every byte the server receives, as it receives it, to FILE
  --refuse ADDRESS REPLY answer RCPT TO:<ADDRESS> with REPLY (e.g. "550 5.1.1 unknown");
                         may be repeated

Accepts every message and saves, for the n-th message (from 1): n.eml, the exact bytes of
the DATA content (after the transparency dots are removed), and n.json, its envelope
(HELO name, MAIL FROM, RCPT TO) with what Python's email package reads in it: headers,
defects, the body text and each attachment's file name and decoded bytes (Base64).
Prints "READY <port>" once it listens, and runs until its standard input closes.
"""
import argparse
import base64
import email
import email.policy
import json
import logging
import os
import socket
import asyncio
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult


class LoggingSMTP(SMTP):
    """Writes every received byte to a file before the server reads it: what came over the
    wire, not what the server's own log chooses to show."""
    log = None
    echo_login = False

    def data_received(self, data):
        if self.log is not None:
            with open(self.log, 'ab') as f:
                f.write(data)
        if self.echo_login:
            self._heard = getattr(self, '_heard', b'') + data
        super().data_received(data)

    async def push(self, status):
        if self.echo_login and status[:3] in ('235', '535'):
            heard = getattr(self, '_heard', b'')
            lines = heard[heard.find(b'AUTH '):].split(b'\r\n')[:-1]
            prefix = status[:3].encode() + b'-'
            for line in lines:
                half = len(line) // 2
                self._writer.write(prefix + line[:half])
                await self._writer.drain()
                await asyncio.sleep(0.05)
                self._writer.write(line[half:] + b'\r\n')
                await self._writer.drain()
            for line in lines:
                pad = max(0, 2048 - len(prefix) - len(line) // 2)
                self._writer.write(prefix + b'x' * pad + b' ' + line + b'\r\n')
                await self._writer.drain()
                await asyncio.sleep(0.05)
        await super().push(status)


class LoggingController(Controller):
    def factory(self):
        return LoggingSMTP(self.handler, **self.SMTP_kwargs)


def summary(raw):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    parts = []
    body = None
    for part in msg.walk():
        if part.is_multipart():
            continue
        filename = part.get_filename()
        if filename is not None or part.get_content_disposition() == 'attachment':
            payload = part.get_payload(decode=True) or b''
            parts.append({'filename': filename,
                          'content_type': part.get_content_type(),
                          'data': base64.b64encode(payload).decode('ascii')})
        elif body is None and part.get_content_type() == 'text/plain':
            payload = part.get_payload(decode=True) or b''
            charset = part.get_content_charset() or 'ascii'
            body = payload.decode(charset, errors='replace')
    defects = [type(d).__name__ for d in msg.defects]
    for part in msg.walk():
        defects += [type(d).__name__ for d in part.defects]
    return {
        'from': str(msg['From']) if msg['From'] is not None else None,
        'to': str(msg['To']) if msg['To'] is not None else None,
        'subject': str(msg['Subject']) if msg['Subject'] is not None else None,
        'date': str(msg['Date']) if msg['Date'] is not None else None,
        'date_valid': msg['Date'] is not None and msg['Date'].datetime is not None,
        'message_id': str(msg['Message-ID']) if msg['Message-ID'] is not None else None,
        'content_type': msg.get_content_type(),
        'body': body,
        'attachments': parts,
        'defects': defects,
    }


class Saver:
    def __init__(self, outdir, login=None, refusals=None):
        self.outdir = outdir
        self.login = login
        self.refusals = refusals or {}
        self.count = 0
        self.lock = threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refusals:
            return self.refusals[address]
        envelope.rcpt_tos.append(address)
        return '250 OK'

    async def handle_DATA(self, server, session, envelope):
        if self.login and not session.authenticated:
            return '530 5.7.0 Authentication required'

        raw = envelope.original_content
        with self.lock:
            self.count += 1
            n = self.count
        base = os.path.join(self.outdir, str(n))
        info = {'helo': session.host_name, 'mail_from': envelope.mail_from,
                'rcpt_tos': list(envelope.rcpt_tos)}
        try:
            info.update(summary(raw))
        except Exception as e:  # the raw bytes are saved all the same
            info['parse_error'] = repr(e)
        with open(base + '.eml.tmp', 'wb') as f:
            f.write(raw)
        os.rename(base + '.eml.tmp', base + '.eml')
        with open(base + '.json.tmp', 'w') as f:
            json.dump(info, f)
        os.rename(base + '.json.tmp', base + '.json')
        return '250 Message accepted for delivery'


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('host')
    parser.add_argument('port', type=int)
    parser.add_argument('outdir')
    parser.add_argument('--starttls', nargs=2)
    parser.add_argument('--tls', nargs=2)
    parser.add_argument('--login')
    parser.add_argument('--login-in-clear', action='store_true')
    parser.add_argument('--no-plain', action='store_true')
    parser.add_argument('--password-hex')
    parser.add_argument('--echo-login', action='store_true')
    parser.add_argument('--log')
    parser.add_argument('--refuse', nargs=2, action='append', default=[])
    args = parser.parse_args()
    host, port, outdir = args.host, args.port, args.outdir
    LoggingSMTP.log = args.log
    LoggingSMTP.echo_login = args.echo_login
    # aiosmtpd warns at every login about an attribute of its own.
    logging.getLogger('mail.log').setLevel(logging.ERROR)
    options = {}
    login = tuple(args.login.split(':', 1)) if args.login else None
    if login and args.password_hex:
        login = (login[0], bytes.fromhex(args.password_hex).decode())
    if login:
        def authenticator(server, session, envelope, mechanism, data):
            ok = (data.login.decode(), data.password.decode()) == login
            return AuthResult(success=ok, handled=False)
        options['authenticator'] = authenticator
        options['auth_require_tls'] = not args.login_in_clear
        if args.no_plain:
            options['auth_exclude_mechanism'] = ['PLAIN']
    else:
        options['auth_require_tls'] = False
    if args.starttls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(*args.starttls)
        options['tls_context'] = context
    if args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(*args.tls)
        options['ssl_context'] = context
        # aiosmtpd counts only STARTTLS as encryption; here every byte is encrypted.
        options['auth_require_tls'] = False
    if port == 0:
        # The controller needs to know its port before it listens: take a free one.
        with socket.socket() as probe:
            probe.bind((host, 0))
            port = probe.getsockname()[1]
    controller = LoggingController(Saver(outdir, login, dict(args.refuse)), hostname=host, port=port,
                            data_size_limit=0, ready_timeout=60, **options)
    controller.start()
    print('READY %d' % controller.port, flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == '__main__':
    main()
