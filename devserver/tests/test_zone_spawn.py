"""The spawn line the world server reads from the zone descriptions."""
import os
import subprocess
import sys
import tempfile
import unittest

from devserver.zone_spawn import ZONES_FOLDER, SpawnError, read_spawn, zone_file


class ZoneSpawn(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, text):
        path = os.path.join(self.tmp.name, 'zone3.txt')
        with open(path, 'w') as f:
            f.write(text)
        return path

    def test_reads_the_demo_zone_spawn(self):
        x, y, z, heading = read_spawn(zone_file(3, ZONES_FOLDER))
        self.assertTrue(all(isinstance(v, float) for v in (x, y, z, heading)))

    def test_reads_one_spawn_line_among_others(self):
        path = self.write('zone 3 Test\n# spawn 1 2 3 4 in a comment\nspawn 1.5 -2 3e1 90  # on the path\n')
        self.assertEqual(read_spawn(path), (1.5, -2.0, 30.0, 90.0))

    def test_refuses_missing_or_malformed_lines(self):
        cases = {
            'no spawn line': 'zone 3 Test\n',
            'three numbers': 'spawn 1 2 3\n',
            'five numbers': 'spawn 1 2 3 4 5\n',
            'not a number': 'spawn 1 two 3 4\n',
            'not finite': 'spawn 1 nan 3 4\n',
            'two spawn lines': 'spawn 1 2 3 4\nspawn 1 2 3 4\n',
        }
        for what, text in cases.items():
            path = self.write(text)
            with self.assertRaises(SpawnError, msg=what) as caught:
                read_spawn(path)
            self.assertIn(path, str(caught.exception), what)
        with self.assertRaises(SpawnError):
            read_spawn(os.path.join(self.tmp.name, 'zone99.txt'))

    def test_server_refuses_to_start_without_a_good_spawn(self):
        root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
        for text in (None, 'zone 3 Test\nspawn 1 2\n'):
            if text is not None:
                self.write(text)
            result = subprocess.run([sys.executable, '-m', 'devserver', '--login-port', '0', '--world-port', '0',
                                     '--zones', self.tmp.name], cwd=root, capture_output=True, text=True,
                                    timeout=60)
            self.assertEqual(result.returncode, 2)
            lines = result.stderr.strip().splitlines()
            self.assertEqual(len(lines), 1, result.stderr)
            self.assertIn(os.path.join(self.tmp.name, 'zone3.txt'), lines[0])
            self.assertEqual(result.stdout, '')
