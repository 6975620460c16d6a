#!/usr/bin/python3
"""The signal layout of our DBC reader against a second reader, canmatrix, on DBC files generated at random.

Each file holds a few messages (extended identifiers of PDU1 and PDU2 and standard ones, 1 to 8 bytes and now and
then more), each with signals in both byte orders, signed or not, of 1 to 64 bits at any start bit that fits, IEEE
floats (SIG_VALTYPE_) and multiplexed ones (M, mN, SG_MUL_VAL_). For every message both readers must give the same
signals and, per byte, the same bits of each signal; for an extended identifier the same PGN, destination, priority
and source address. And the worked example of each signal in the first eight bytes, its register values carried
into B1 to B8 by holding registers 0 to 3 (high half first), must give the bytes canmatrix packs its raw value into.

    differential_signals.py --tool build/tessaro_signal_layout [--files N] [--seed S] [--keep FOLDER]

Exit status 0 when both agree on every file, 1 with the first differences otherwise.
"""

import argparse
import logging
import os
import random
import struct
import subprocess
import sys
import tempfile

logging.disable(logging.CRITICAL)
try:
    import canmatrix.formats
except ImportError:
    sys.exit("differential_signals: canmatrix is missing (Debian's python3-canmatrix, scripts/install-deps test)")


def intel_room(start, size):
    return size * 8 - start


def motorola_room(start, size):
    # From the start bit down to bit 0 of its byte, then the whole bytes after it.
    return start % 8 + 1 + 8 * (size - 1 - start // 8)


class Generator:
    def __init__(self, rng):
        self.rng = rng
        self.used_ids = set()

    def identifier(self):
        """An identifier as a DBC file writes it: extended ones with bit 31 set."""
        rng = self.rng
        while True:
            if rng.random() < 0.15:
                written = rng.randrange(0x800)
            else:
                priority = rng.randrange(8)
                page = rng.randrange(4)
                pdu_format = rng.randrange(240) if rng.random() < 0.4 else rng.randrange(240, 256)
                specific = rng.randrange(256)
                source = rng.randrange(256)
                written = 0x80000000 | priority << 26 | page << 24 | pdu_format << 16 | specific << 8 | source
            if written not in self.used_ids:
                self.used_ids.add(written)
                return written

    def signal_place(self, size, length=None):
        """A start bit, length and byte order that fit in size bytes."""
        rng = self.rng
        while True:
            intel = rng.random() < 0.5
            start = rng.randrange(size * 8)
            room = intel_room(start, size) if intel else motorola_room(start, size)
            if length is None:
                wanted = rng.choice([1, 2, 3, 4, 5, 7, 8, 8, 12, 16, 16, 24, 32, 48, 64, rng.randrange(1, 65)])
                return start, min(wanted, room), intel
            if room >= length:
                return start, length, intel

    def message(self, index):
        rng = self.rng
        size = rng.randrange(1, 9) if rng.random() < 0.9 else rng.randrange(9, 65)
        identifier = self.identifier()
        name = "Message%d" % index
        lines = ["BO_ %d %s: %d Sender" % (identifier, name, size)]
        after = []
        multiplexer = None
        if rng.random() < 0.3:
            start, length, intel = self.signal_place(size, rng.randrange(1, 9) if size * 8 >= 8 else 1)
            multiplexer = ("Mux%d" % index, length)
            lines.append(self.signal_line(multiplexer[0], " M", start, length, intel, False))
        for k in range(rng.randrange(0, 7)):
            signal = "Signal%d_%d" % (index, k)
            indicator = ""
            if multiplexer and rng.random() < 0.5:
                value = rng.randrange(1 << multiplexer[1])
                indicator = " m%d" % value
                if rng.random() < 0.2:
                    low = rng.randrange(1 << multiplexer[1])
                    high = rng.randrange(low, 1 << multiplexer[1])
                    after.append("SG_MUL_VAL_ %d %s %s %d-%d;" % (identifier, signal, multiplexer[0], low, high))
            kind = rng.random()
            if kind < 0.1 and max(intel_room(0, size), 1) >= 32:
                length = 32 if rng.random() < 0.6 or size < 8 else 64
                start, length, intel = self.signal_place(size, length)
                after.append("SIG_VALTYPE_ %d %s : %d;" % (identifier, signal, 1 if length == 32 else 2))
            else:
                start, length, intel = self.signal_place(size)
            lines.append(self.signal_line(signal, indicator, start, length, intel, rng.random() < 0.4))
        return lines, after

    def signal_line(self, name, indicator, start, length, intel, signed):
        factor = self.rng.choice(["1", "0.125", "0.5", "2", "1E-2", "0.00390625"])
        offset = self.rng.choice(["0", "-40", "10", "-125", "0.5"])
        return ' SG_ %s%s : %d|%d@%d%s (%s,%s) [0|0] "" Receiver' % (
            name, indicator, start, length, 1 if intel else 0, "-" if signed else "+", factor, offset)

    def database(self):
        lines = ['VERSION ""', "", "NS_ :", "\tCM_", "\tBA_DEF_", "\tVAL_", "", "BS_:", "", "BU_: Sender Receiver", ""]
        after = []
        for index in range(self.rng.randrange(1, 6)):
            message, statements = self.message(index)
            lines += message + [""]
            after += statements
        return "\n".join(lines + after) + "\n"


def ours(tool, paths):
    """Our reading: per file, per message its PGN fields, signals and per byte the bits of each signal."""
    output = subprocess.run([tool] + paths, check=True, capture_output=True, text=True).stdout
    files = {}
    for line in output.splitlines():
        word, _, rest = line.partition(" ")
        if word == "FILE":
            current = files.setdefault(rest, {"notes": [], "messages": {}})
        elif word == "NOTE":
            current["notes"].append(rest)
        elif word == "MESSAGE":
            name, size, pgn, destination, priority, source = rest.split(" ")
            message = current["messages"][name] = {"size": int(size), "signals": set(), "bytes": {}, "examples": {}}
            if pgn != "-":
                message["j1939"] = (int(pgn), None if destination == "-" else int(destination), int(priority),
                                    int(source))
        elif word == "SIGNAL":
            message["signals"].add(rest.split(" ")[0])
        elif word == "BYTE":
            byte, signal, low, high = rest.split(" ")
            message["bytes"].setdefault(int(byte), set()).add((signal, int(low), int(high)))
        elif word == "EXAMPLE":
            signal, raw, *registers = rest.split(" ")
            message["examples"][signal] = (raw, {int(r): int(v) for r, v in (pair.split("=") for pair in registers)})
    return files


EXAMPLES_CHECKED = [0]


def example_differences(name, message, frame):
    """Our worked examples carried into the frame's bytes against canmatrix packing the same raw values."""
    differences = []
    layout = frame.get_frame_layout()
    for signal in frame.signals:
        if signal.name not in message["examples"]:
            continue
        raw, registers = message["examples"][signal.name]
        if raw.startswith("float:"):
            bits = int(raw[6:], 16)
            value = struct.unpack(">f" if signal.size == 32 else ">d",
                                  bits.to_bytes(signal.size // 8, "big"))[0]
        else:
            value = int(raw)
        packed = frame.signals_to_bytes({signal.name: value})
        EXAMPLES_CHECKED[0] += 1
        carried = bytearray(8)
        for number, register in registers.items():
            carried[2 * number] = register >> 8
            carried[2 * number + 1] = register & 0xFF
        for index, signals in enumerate(layout[:64]):
            if signal not in signals:
                continue
            byte, bit = index // 8, 7 - index % 8
            if (carried[byte] >> bit & 1) != (packed[byte] >> bit & 1):
                differences.append("%s: example of %s (raw %s, registers %s) gives B%d bit %d %d, canmatrix %d" % (
                    name, signal.name, raw, registers, byte + 1, bit, carried[byte] >> bit & 1,
                    packed[byte] >> bit & 1))
                break
    # Every signal that lies in the first eight bytes has its example.
    for signal in frame.signals:
        inside = all(index < 64 for index, signals in enumerate(layout) if signal in signals)
        if inside and signal.name not in message["examples"]:
            differences.append("%s: no example of %s" % (name, signal.name))
    return differences


def theirs(path):
    """canmatrix's reading of the same file, from its frame layout: bit i of the layout is bit 7 - i % 8 of byte i / 8."""
    matrix = canmatrix.formats.loadp_flat(path)
    messages = {}
    for frame in matrix.frames:
        message = messages[frame.name] = {"size": frame.size, "signals": {s.name for s in frame.signals}, "bytes": {},
                                          "frame": frame}
        if frame.arbitration_id.extended:
            ident = frame.arbitration_id
            message["j1939"] = (ident.pgn, ident.j1939_destination, ident.j1939_priority, ident.j1939_source)
        bits = {}
        for index, signals in enumerate(frame.get_frame_layout()):
            for signal in signals:
                bits.setdefault((index // 8, signal.name), []).append(7 - index % 8)
        for (byte, name), taken in bits.items():
            message["bytes"].setdefault(byte, set()).add((name, min(taken), max(taken)))
            if max(taken) - min(taken) + 1 != len(taken):
                message.setdefault("gaps", []).append((byte, name))
    return messages


def compare(path, mine, other):
    differences = []
    if mine["notes"]:
        differences.append("our reader noted: " + "; ".join(mine["notes"]))
    if set(mine["messages"]) != set(other):
        differences.append("messages %s against %s" % (sorted(mine["messages"]), sorted(other)))
    for name in sorted(set(mine["messages"]) & set(other)):
        a, b = mine["messages"][name], other[name]
        for field in ("size", "signals", "j1939"):
            if a.get(field) != b.get(field):
                differences.append("%s: %s %s against %s" % (name, field, a.get(field), b.get(field)))
        for byte in sorted(set(a["bytes"]) | set(b["bytes"])):
            ours_here, theirs_here = a["bytes"].get(byte, set()), b["bytes"].get(byte, set())
            if ours_here != theirs_here:
                differences.append("%s B%d: %s against %s" % (name, byte + 1, sorted(ours_here), sorted(theirs_here)))
        if b.get("gaps"):
            differences.append("%s: canmatrix gives bits with gaps in %s" % (name, b["gaps"]))
        differences += example_differences(name, a, b["frame"])
    return ["%s: %s" % (path, text) for text in differences]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", required=True, help="tessaro_signal_layout")
    parser.add_argument("--files", type=int, default=300)
    parser.add_argument("--seed", type=int, default=None, help="default: a new one, printed")
    parser.add_argument("--keep", help="write the files into this folder and keep them")
    arguments = parser.parse_args()
    seed = arguments.seed if arguments.seed is not None else random.SystemRandom().randrange(1 << 32)
    rng = random.Random(seed)

    with tempfile.TemporaryDirectory(prefix="tessaro-differential-") as scratch:
        folder = arguments.keep or scratch
        os.makedirs(folder, exist_ok=True)
        paths = []
        signals = 0
        for index in range(arguments.files):
            text = Generator(rng).database()
            signals += text.count(" SG_ ")
            path = os.path.join(folder, "random%04d.dbc" % index)
            with open(path, "w", encoding="ascii") as out:
                out.write(text)
            paths.append(path)
        mine = ours(arguments.tool, paths)
        differences = []
        for path in paths:
            differences += compare(path, mine[path], theirs(path))
        if differences:
            print("differential_signals: seed %d, %d of %d files differ from canmatrix:" % (
                seed, len({d.split(": ")[0] for d in differences}), len(paths)))
            for line in differences[:20]:
                print("  " + line)
            if not arguments.keep:
                first = differences[0].split(": ")[0]
                with open(first, encoding="ascii") as dbc:
                    print("the first file:\n" + dbc.read())
            return 1
        print("differential_signals: seed %d, %d files, %d signals: the same layout as canmatrix, and the same bytes "
              "for %d worked examples" % (seed, len(paths), signals, EXAMPLES_CHECKED[0]))
        return 0


if __name__ == "__main__":
    sys.exit(main())
