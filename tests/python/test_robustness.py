"""Inputs that once crashed or exhausted the process, Ctrl-C during long runs,
and memory that stays flat over repeated calls."""

import signal
import subprocess
import sys
import textwrap
import time

import pytest

import quorlex


def run_script(code, timeout=60):
    out = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                         timeout=timeout)
    assert out.returncode == 0, out.stderr
    return out.stdout


class TestInterrupt:
    @pytest.mark.parametrize("call", [
        "quorlex.extract_catch22_features_cumulative_f(y)",
        "quorlex.extract_tsfeatures_cumulative_f(y)",
    ])
    def test_ctrl_c_stops_a_long_cumulative_run(self, call):
        # SIGINT half a second into a run of many seconds: the pool must answer
        # within a second or two and compute the next run normally.
        code = textwrap.dedent(f"""
            import numpy as np
            import quorlex
            y = np.random.default_rng(1).normal(size=5000)
            print("started", flush=True)
            try:
                {call}
                print("finished", flush=True)
            except KeyboardInterrupt:
                print("interrupted", flush=True)
            print(quorlex.catch22_all_f(y[:300]).values == quorlex.catch22_all_f(y[:300]).values)
        """)
        child = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE, text=True)
        try:
            assert child.stdout.readline() == "started\n"
            time.sleep(0.5)
            sent = time.monotonic()
            child.send_signal(signal.SIGINT)
            assert child.stdout.readline() == "interrupted\n"
            assert time.monotonic() - sent < 2.0
            assert child.stdout.readline() == "True\n"
            assert child.wait(timeout=30) == 0
        finally:
            child.kill()
            child.wait()
