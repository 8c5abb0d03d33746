"""python -m varnokline: the program's command line, run in this process."""
import sys

from . import _varnokline


def main(argv=None):
    """Runs the program with argv's arguments (default: the command line's); its exit status."""
    sys.stdout.flush()
    sys.stderr.flush()
    return _varnokline.main(["varnokline", *(sys.argv[1:] if argv is None else argv)])


if __name__ == "__main__":
    raise SystemExit(main())
