import sys

from validation.report import main

sys.exit(main(sys.argv))
