"""The validation report's sections, one module per library, named as the
library in lower case (validation/report.py assembles them)."""
