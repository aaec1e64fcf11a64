"""The binding used from several threads at once: slots, per-object calls,
closing, and the shared generator."""

import sys
import threading

import numpy as np
import pytest

import kvz_comp
from kvz_comp import Distribution, distribution


@pytest.fixture(autouse=True)
def frequent_thread_switches():
    """Threads switch every microsecond instead of every 5 ms, so that an
    unguarded read-modify-write between two threads shows up."""
    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    yield
    sys.setswitchinterval(interval)


def run_threads(count, work):
    """Runs work(i) in `count` threads started together; re-raises the first failure."""
    failures = []
    start = threading.Barrier(count)

    def body(i):
        try:
            start.wait()
            work(i)
        except BaseException as e:  # reported to the main thread
            failures.append(e)

    threads = [threading.Thread(target=body, args=(i,)) for i in range(count)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=120)
    assert not any(t.is_alive() for t in threads), "a thread hung"
    if failures:
        raise failures[0]


def test_the_slot_pool_hands_each_slot_to_one_holder_at_a_time():
    pool = distribution._SlotPool(kvz_comp.SLOT_COUNT)  # a pool of its own, beside the library's
    holders = {}

    def work(i):
        for _ in range(10000):
            slot = pool.acquire()
            assert holders.setdefault(slot, i) == i, "a slot handed out twice"
            del holders[slot]
            pool.release(slot)

    run_threads(8, work)
    assert pool.free_count() == kvz_comp.SLOT_COUNT


def test_distributions_made_in_many_threads_keep_their_own_slots():
    # A slot shared by two objects shows as the other object's parameters.
    def work(i):
        for j in range(150):
            lo = i * 1000 + j
            with Distribution("uniform", minimum=lo, maximum=lo + 1) as d:
                assert d.mean() == lo + 0.5
                assert d.ppf(0.25) == lo + 0.25

    run_threads(8, work)
    assert kvz_comp.free_slots() == kvz_comp.SLOT_COUNT


def test_two_distributions_sample_in_two_threads():
    kvz_comp.set_rng("plain", 3)
    ranges = [(0, 1), (10, 11)]
    draws = [[], []]

    def work(i):
        lo, hi = ranges[i]
        with Distribution("uniform", minimum=lo, maximum=hi) as d:
            for _ in range(200):
                draws[i].append(d.rvs(500))
                assert d.cdf(lo + 0.5) == 0.5

    run_threads(2, work)
    for (lo, hi), parts in zip(ranges, draws):
        x = np.concatenate(parts)
        assert x.size == 100000 and ((x >= lo) & (x <= hi)).all()
        # 1e5 uniforms: the mean is within 6 standard errors (0.0055) of the middle.
        assert abs(x.mean() - (lo + hi) / 2) < 0.0055


def test_threads_drawing_uniforms_share_one_stream():
    # Together the threads take exactly the values one thread would have
    # taken: none is drawn twice, none is lost.
    kvz_comp.set_rng("plain", 21)
    alone = kvz_comp.rng(4 * 100 * 250)
    kvz_comp.set_rng("plain", 21)
    taken = [[] for _ in range(4)]

    def work(i):
        for _ in range(100):
            taken[i].append(kvz_comp.rng(250))

    run_threads(4, work)
    together = np.concatenate([np.concatenate(t) for t in taken])
    assert sorted(together.tolist()) == sorted(alone.tolist())


def test_closing_waits_for_a_call_in_another_thread():
    # The slot of a closed object goes to the next one at once; a call that
    # was under way must finish on the old distribution, and later calls must
    # refuse, never answer from the new one.
    x = np.linspace(0.1, 0.9, 20000)
    for _ in range(20):
        d = Distribution("uniform", minimum=0, maximum=1)
        seen, refusals = [], []
        started = threading.Event()

        def evaluate():
            try:
                while True:
                    seen.append(d.cdf(x))
                    started.set()
            except ValueError as e:
                refusals.append(str(e))
            finally:
                started.set()

        t = threading.Thread(target=evaluate)
        t.start()
        started.wait(timeout=60)
        d.close()
        with Distribution("uniform", minimum=0, maximum=2):
            t.join(timeout=60)
        assert not t.is_alive()
        assert refusals == ["the distribution is closed"]
        assert seen and all(np.array_equal(v, x) for v in seen)


def test_reseeding_in_one_thread_while_another_samples():
    def work(i):
        if i == 0:
            for seed in range(200):
                kvz_comp.set_rng("stratified" if seed % 2 else "plain", seed)
        else:
            with Distribution("normal", mean=0, stdev=1) as d:
                for _ in range(200):
                    assert np.isfinite(d.rvs(100)).all()

    run_threads(2, work)


@pytest.mark.parametrize("kind", ["plain", "shuffled", "stratified"])
def test_sampling_after_threads_still_repeats_with_the_seed(kind):
    with Distribution("gamma", scale=2, shape_a=3) as d:
        kvz_comp.set_rng(kind, 8)
        first = d.rvs(50)
        run_threads(2, lambda i: kvz_comp.rng(1000))
        kvz_comp.set_rng(kind, 8)
        assert d.rvs(50).tolist() == first.tolist()
