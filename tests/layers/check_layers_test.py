#!/usr/bin/env python3
"""check_layers.py against a small tree: one include planted per case, in each
way it could be written to get round the table."""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

CHECKER = pathlib.Path(__file__).with_name("check_layers.py")
README = """\
| folder | may include from |
|---|---|
| `support/` | — |
| `platform/` | support |
| `net/` | support, platform |
| `update/` | support, platform, net |
| `app/` | everything above |
"""
FILES = ["support/Log.h", "platform/Files.h", "platform/Files.cpp", "platform/posix/Files.cpp",
         "platform/posix/Descriptor.h", "net/Url.h", "net/Client.cpp", "update/Job.h",
         "update/Job.cpp", "app/Main.cpp", "app/SkinWindow.cpp", "tests/support/Fixture.h",
         "tools/Tool.h"]

SYSTEM = "only platform's implementation folders include system headers"
TOOLKIT = "only the window files and the dialog implementation include the toolkit"

# (file, planted line, what the check must say; None: it must pass)
CASES = [
    ("net/Client.cpp", "#include <update/Job.h>", "net/ may not include update/"),
    ("net/Client.cpp", '#include "../net/../update/Job.h"', "net/ may not include update/"),
    ("net/Client.cpp", '%: /* c */ include \\\n  "update/Job.h"', "net/ may not include update/"),
    ("app/Main.cpp", '#include "tests/support/Fixture.h"', "app/ may never include from tests/"),
    ("app/Main.cpp", "#include <tools/Tool.h>", "app/ may never include from tools/"),
    ("update/Job.cpp", "#include <net/Url.h>", None),
    ("update/Job.cpp", '#include "../net/Url.h"', None),
    ("update/Job.cpp", '#include "Job.h"', None),
    ("net/Client.cpp", '#include <string>\n#include "Generated.h"', None),
    # The operating system only through platform/'s implementation folders.
    ("update/Job.cpp", "#include <unistd.h>", SYSTEM),
    ("net/Client.cpp", "#include <sys/socket.h>", SYSTEM),
    ("net/Client.cpp", "#include <Windows.h>", SYSTEM),
    ("platform/Files.cpp", "#include <fcntl.h>", SYSTEM),
    ("update/Job.cpp", '#include "platform/posix/Descriptor.h"',
     "update/ may not include platform's implementation"),
    ("app/Main.cpp", "#include <gtk/gtk.h>", TOOLKIT),
    ("platform/posix/Files.cpp", "#include <fcntl.h>\n#include <sys/file.h>", None),
    ("app/SkinWindow.cpp", "#include <gtk/gtk.h>", None),
]


class CheckLayersTest(unittest.TestCase):
    def setUp(self):
        self.tree = pathlib.Path(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, self.tree)
        (self.tree / "README.md").write_text(README, encoding="utf-8")
        for name in FILES:
            (self.tree / name).parent.mkdir(parents=True, exist_ok=True)
            (self.tree / name).write_text("// fixture\n", encoding="utf-8")

    def test_planted_includes(self):
        for name, line, refusal in CASES:
            with self.subTest(line=line):
                copy = self.tree / "copy"
                shutil.copytree(self.tree, copy, ignore=shutil.ignore_patterns("copy"))
                with open(copy / name, "a", encoding="utf-8") as source:
                    source.write(line + "\n")
                run = subprocess.run([sys.executable, CHECKER, copy], capture_output=True,
                                     text=True, timeout=30)
                shutil.rmtree(copy)
                if refusal is None:
                    self.assertEqual(run.returncode, 0, run.stdout)
                else:
                    self.assertEqual(run.returncode, 1, run.stdout)
                    self.assertIn(f"{name}:2: {refusal}", run.stdout)


if __name__ == "__main__":
    unittest.main()
