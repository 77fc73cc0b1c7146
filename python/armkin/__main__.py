"""python3 -m armkin OUTDIR runs the demo (see armkin.demo)."""

import sys

from armkin.demo import main

sys.exit(main(sys.argv))
