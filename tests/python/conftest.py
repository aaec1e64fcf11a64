import gc

import pytest

import kvz_comp


@pytest.fixture(autouse=True)
def no_slot_leaks():
    """Every test gives back the slots it took."""
    yield
    gc.collect()
    assert kvz_comp.free_slots() == kvz_comp.SLOT_COUNT
