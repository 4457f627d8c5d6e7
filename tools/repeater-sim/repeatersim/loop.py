"""A small single-threaded event loop: sockets by readiness, timers by deadline."""

import heapq
import itertools
import selectors
import signal
import socket
import time


class Timer:
    __slots__ = ("when", "callback", "cancelled")

    def __init__(self, when, callback):
        self.when = when
        self.callback = callback
        self.cancelled = False

    def cancel(self):
        self.cancelled = True


class Loop:
    def __init__(self):
        self._selector = selectors.DefaultSelector()
        self._timers = []
        self._order = itertools.count()
        self._running = False
        # Signals wake the loop through a socket pair, so a blocking select never hides them.
        self._wake_read, self._wake_write = socket.socketpair()
        self._wake_read.setblocking(False)
        self._wake_write.setblocking(False)
        self.watch(self._wake_read, reader=self._drain_wake)
        self._stop_requested = False

    def watch(self, sock, reader=None, writer=None):
        """Registers the callbacks for a socket; None for both forgets it."""
        events = (selectors.EVENT_READ if reader else 0) | (selectors.EVENT_WRITE if writer else 0)
        try:
            key = self._selector.get_key(sock)
        except (KeyError, ValueError):
            key = None
        if not events:
            if key is not None:
                self._selector.unregister(sock)
            return
        if key is None:
            self._selector.register(sock, events, (reader, writer))
        else:
            self._selector.modify(sock, events, (reader, writer))

    def forget(self, sock):
        try:
            self._selector.unregister(sock)
        except (KeyError, ValueError):
            pass

    def call_later(self, delay, callback):
        timer = Timer(time.monotonic() + max(0.0, delay), callback)
        heapq.heappush(self._timers, (timer.when, next(self._order), timer))
        return timer

    def stop(self):
        self._stop_requested = True
        try:
            self._wake_write.send(b"x")
        except OSError:
            pass

    def stop_on_signals(self, *signals):
        for number in signals:
            signal.signal(number, lambda *_: self.stop())

    def _drain_wake(self):
        try:
            while self._wake_read.recv(64):
                pass
        except BlockingIOError:
            pass

    def run(self):
        while not self._stop_requested:
            timeout = None
            while self._timers and self._timers[0][2].cancelled:
                heapq.heappop(self._timers)
            if self._timers:
                timeout = max(0.0, self._timers[0][0] - time.monotonic())
            for key, events in self._selector.select(timeout):
                reader, writer = key.data
                if events & selectors.EVENT_READ and reader:
                    reader()
                # The read callback may have closed or re-registered the socket.
                if events & selectors.EVENT_WRITE and writer and self._still_writer(key.fileobj, writer):
                    writer()
            now = time.monotonic()
            while self._timers and self._timers[0][0] <= now:
                _, _, timer = heapq.heappop(self._timers)
                if not timer.cancelled:
                    timer.cancelled = True
                    timer.callback()

    def _still_writer(self, sock, writer):
        try:
            return self._selector.get_key(sock).data[1] is writer
        except (KeyError, ValueError):
            return False

    def close(self):
        self._selector.close()
        self._wake_read.close()
        self._wake_write.close()

