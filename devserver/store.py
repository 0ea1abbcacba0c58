"""Accounts, tickets and characters of the local servers, kept in the data folder.

accounts.json: {account: {"salt": hex, "hash": hex}}; the password is stored as an scrypt
hash (n=2**14, r=8, p=1, 32 bytes) with a random 16-byte salt, never in plain text.
characters.json: {account: [{"id": number, "name": text, "choices": [...], ...}]}. Every
character has an id above 0, unique across accounts and kept for good; data stored before
characters had ids gets them when it is loaded (and is saved with them at once).
Files are replaced atomically (written beside, then renamed), so a crash keeps the old copy.
Tickets live in memory only: one per world selection, used once by the world server.
"""
import hashlib
import hmac
import json
import os
import secrets
import tempfile

SCRYPT = dict(n=2 ** 14, r=8, p=1, dklen=32)
MAX_CHARACTERS = 8


def _hash(password, salt):
    return hashlib.scrypt(password, salt=salt, **SCRYPT)


def _load(path):
    try:
        with open(path, 'r', encoding='utf-8') as f:
            data = json.load(f)
        return data if isinstance(data, dict) else {}
    except (OSError, ValueError):
        return {}


def _save(path, data):
    folder = os.path.dirname(path) or '.'
    fd, temporary = tempfile.mkstemp(prefix='.tmp-', dir=folder)
    with os.fdopen(fd, 'w', encoding='utf-8') as f:
        json.dump(data, f, indent=1, sort_keys=True)
    os.replace(temporary, path)


class Store:
    def __init__(self, folder):
        self.folder = folder
        if folder:
            os.makedirs(folder, exist_ok=True)
        self.accounts_path = os.path.join(folder, 'accounts.json') if folder else None
        self.characters_path = os.path.join(folder, 'characters.json') if folder else None
        self.accounts = _load(self.accounts_path) if folder else {}
        self.characters = _load(self.characters_path) if folder else {}
        self.tickets = {}
        self.relogins = {}
        self._give_ids()

    def _give_ids(self):
        """Ids for stored characters without a valid one (older data, or a duplicate)."""
        taken = set()
        missing = []
        for account in sorted(self.characters):
            entries = self.characters[account]
            entries = [c for c in entries if isinstance(c, dict)] if isinstance(entries, list) else []
            self.characters[account] = entries
            for c in entries:
                ident = c.get('id')
                if (isinstance(ident, int) and not isinstance(ident, bool) and 0 < ident <= 0x7FFFFFFF
                        and ident not in taken):
                    taken.add(ident)
                else:
                    missing.append(c)
        self.next_id = max(taken, default=0) + 1
        for c in missing:
            c['id'] = self.new_character_id()
        if missing and self.characters_path:
            _save(self.characters_path, self.characters)

    def new_character_id(self):
        ident = self.next_id
        self.next_id += 1
        return ident

    # Accounts are keyed by their credential bytes read as Latin-1 (one byte per character).

    def login(self, account, password):
        """'new' for a first login (remembered now), 'ok', or 'wrong-password'."""
        account = account.decode('latin-1') if isinstance(account, bytes) else account
        entry = self.accounts.get(account)
        if entry is None:
            salt = secrets.token_bytes(16)
            self.accounts[account] = {'salt': salt.hex(), 'hash': _hash(password, salt).hex()}
            if self.accounts_path:
                _save(self.accounts_path, self.accounts)
            return 'new'
        expected = bytes.fromhex(entry['hash'])
        if hmac.compare_digest(_hash(password, bytes.fromhex(entry['salt'])), expected):
            return 'ok'
        return 'wrong-password'

    def issue_ticket(self, account):
        # Printable and therefore free of zero bytes.
        ticket = secrets.token_hex(24)
        self.tickets[ticket] = account
        return ticket

    def redeem_ticket(self, ticket):
        return self.tickets.pop(ticket, None)

    def relogin_credentials(self, account):
        """A one-time text that logs the account in again (a return from a world)."""
        token = b'relogin:' + secrets.token_hex(24).encode('ascii')
        self.relogins[token] = account
        return token

    def redeem_relogin(self, credentials):
        return self.relogins.pop(credentials.split(b'\0', 1)[0], None)

    def characters_of(self, account):
        return list(self.characters.get(account, []))

    def all_characters(self):
        """Every account's characters (names are unique across accounts)."""
        return [c for entries in self.characters.values() for c in entries]

    def save_characters(self, account, characters):
        self.characters[account] = characters
        if self.characters_path:
            _save(self.characters_path, self.characters)
