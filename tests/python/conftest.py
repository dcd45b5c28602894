import sys


def pytest_terminal_summary(terminalreporter):
    """The fuzz suite's call count and outcomes, when it ran."""
    fuzz = sys.modules.get("test_fuzz")
    if fuzz is not None and fuzz.OUTCOMES:
        outcomes = fuzz.OUTCOMES
        summary = ", ".join(f"{kind} {count}" for kind, count in sorted(outcomes.items()))
        terminalreporter.write_line(
            f"fuzz: {sum(outcomes.values())} calls over {len(fuzz.FUNCTIONS)} functions: {summary}")
        for (function, message), count in fuzz.PANICS.most_common(10):
            terminalreporter.write_line(f"  PanicException x{count} from {function}: {message[:120]}")
