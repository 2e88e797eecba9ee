#!/usr/bin/env python3
"""vexlin-dump --json --content side by side with Perl's Palm::PDB: every field the peer
decodes must be equal, on the corpus, on databases built by the tests and on databases
written by Palm::PDB itself. Exits 77 (skipped) when the peer is not installed.

Usage: content_peers.py VEXLIN_DUMP MAKE_CONTENT_SAMPLES CORPUS_DIR"""
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PEER = os.path.join(HERE, "palm_peer.pl")
CORPUS = [("palmpdb_MemoDB.pdb", "cp1252"), ("pypalmdb_ToDoDB_secret-record.pdb", "cp1252"),
          ("palmpdb_DatebookDB_open-attr.pdb", "cp1252"), ("p5palm_MailDB.pdb", "cp1252"),
          ("palmpdb_AddressDB-PalmV-JP.pdb", "cp932")]


def same(peer, ours, where, faults):
    """Every key the peer gives must be equal in ours (dictionaries compared key by key)."""
    if isinstance(peer, dict) and isinstance(ours, dict):
        for key, value in peer.items():
            if key not in ours:
                faults.append(f"{where}.{key}: missing")
            else:
                same(value, ours[key], f"{where}.{key}", faults)
    elif isinstance(peer, list) and isinstance(ours, list) and len(peer) == len(ours):
        for i, (a, b) in enumerate(zip(peer, ours)):
            same(a, b, f"{where}[{i}]", faults)
    elif peer != ours:
        faults.append(f"{where}: peer {peer!r}, vexlin {ours!r}")


def main():
    dump, make_samples, corpus = sys.argv[1:4]
    if subprocess.run(["perl", "-MPalm::PDB", "-e1"], capture_output=True).returncode != 0:
        print("SKIP: Perl's Palm::PDB (Debian: libpalm-perl) is not installed")
        return 77
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([make_samples, os.path.join(work, "built")], check=True)
        subprocess.run(["perl", PEER, "write", os.path.join(work, "perl")], check=True)
        files = [(os.path.join(corpus, name), enc) for name, enc in CORPUS
                 if os.path.exists(os.path.join(corpus, name))]
        if len(files) < len(CORPUS):
            print(f"note: {len(CORPUS) - len(files)} corpus files missing in {corpus}")
        for folder in ("built", "perl"):
            files += [(os.path.join(work, folder, name), "cp1252")
                      for name in sorted(os.listdir(os.path.join(work, folder)))]
        faults = []
        items = 0
        for path, encoding in files:
            peer = json.loads(subprocess.run(["perl", PEER, "dump", path, encoding],
                                             check=True, capture_output=True).stdout)
            ours = json.loads(subprocess.run([dump, "--json", "--content", "--encoding", encoding,
                                              path], check=True, capture_output=True).stdout)
            content = ours["Content"]
            name = os.path.basename(path)
            if len(peer["Items"]) != len(content["Items"]):
                faults.append(f"{name}: peer {len(peer['Items'])} items, vexlin {len(content['Items'])}")
                continue
            same(peer["Categories"], content["Categories"], f"{name}:Categories", faults)
            if "Labels" in peer:
                same(peer["Labels"], content["Labels"], f"{name}:Labels", faults)
            for i, (a, b) in enumerate(zip(peer["Items"], content["Items"])):
                same(a, b, f"{name}:Items[{i}]", faults)
            items += len(peer["Items"])
        for fault in faults:
            print(fault)
        print(f"{len(files)} databases, {items} records compared with Palm::PDB: "
              f"{len(faults)} differences")
        return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
