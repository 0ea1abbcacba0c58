"""Local game server for development and tests: the server half of the session protocol,
later the login and world servers. Runs on Debian's /usr/bin/python3 with asyncio,
python3-nacl and zlib only."""
