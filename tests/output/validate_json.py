#!/usr/bin/env python3
"""Validates JSON documents against a JSON Schema: validate_json.py SCHEMA FILE...

Exit status 0 when every document is valid; otherwise each error is printed with its
place in the document, and the status is 1."""
import json
import sys

import jsonschema


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    validator = validator_class(schema)
    valid = True
    for path in argv[2:]:
        with open(path, encoding="utf-8") as f:
            document = json.load(f)
        for error in validator.iter_errors(document):
            place = "/".join(str(p) for p in error.absolute_path)
            print(f"{path}: /{place}: {error.message}", file=sys.stderr)
            valid = False
    return 0 if valid else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
