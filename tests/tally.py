"""The checks' shared tally: check() compares a value with what was
expected and prints a line for each mismatch; summary() prints the closing
"N passed, M failed" line and gives the exit status."""

passed = 0
failed = 0


def check(what, expected, got):
    global passed, failed
    if expected == got:
        passed += 1
    else:
        failed += 1
        print(f"{what}: expected {expected!r}, got {got!r}")


def summary():
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0
