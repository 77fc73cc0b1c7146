"""python3 -m armkin.demo OUTDIR: pictures of the solutions and of the
workspace for the built-in arm and for an example arm file.

The example arm is arms/spherical_wrist_offsets.urdf (found beside the
package's sources, or from the ARMKIN_ARMS directory); without it only the
built-in arm is drawn.
"""

import os
import sys

import numpy as np

import armkin
import armkin.plot


def _example_arm():
    here = os.path.dirname(os.path.abspath(__file__))
    dirs = [os.environ.get("ARMKIN_ARMS", ""), os.path.join(here, "..", "..", "..", "arms"),
            os.path.join(here, "..", "..", "arms")]
    for d in dirs:
        for name in ("spherical_wrist_offsets.urdf", "offset_wrist_parallel.urdf"):
            path = os.path.join(d, name)
            if d and os.path.isfile(path) and hasattr(armkin.Arm, "from_urdf"):
                return name.rsplit(".", 1)[0], armkin.Arm.from_urdf(path)
    return None


def main(argv):
    """Writes the pictures into argv[1]; returns the exit status."""
    if len(argv) != 2:
        print("usage: python3 -m armkin.demo OUTDIR", file=sys.stderr)
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    arms = [("builtin", armkin.Arm.builtin(), [0.4, -0.6, 1.1, 0.5, 0.8, -0.3])]
    example = _example_arm()
    if example:
        arms.append((example[0], example[1], [0.4, -0.9, 1.2, 0.3, 0.9, -0.5]))
    written = []
    for name, arm, q in arms:
        T = arm.fk(np.array(q))
        for kind in ("solutions", "workspace"):
            path = os.path.join(out, f"{name}-{kind}.png")
            if kind == "solutions":
                armkin.plot.solutions(arm, T, path)
            else:
                armkin.plot.workspace(arm, "xz", path, resolution=41)
            written.append(path)
    for path in written:
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
