"""What the Python scenario tests share."""

import time


def poll(holds, seconds=30, step=0.2):
    """The first true value `holds()` gives within `seconds`; an exception counts as not yet."""
    end = time.time() + seconds
    while time.time() < end:
        try:
            found = holds()
            if found:
                return found
        except Exception:
            pass
        time.sleep(step)
    return None
