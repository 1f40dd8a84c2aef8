// Sends the pointer's position while the user is active: polled every 16 ms from the first
// input after a rest, and given up 250 ms after the last movement, so a quiet desktop costs
// nothing.

const POLL_MS = 16;
const REST_MS = 250;

export class PointerWatch {
    constructor(gi, send) {
        this._gi = gi;
        this._send = send;
        this._monitor = null;
        this._activeId = 0;
        this._timerId = 0;
        this._last = null;
        this._still = 0;
    }

    start() {
        this.stop();
        this._monitor = global.backend.get_core_idle_monitor();
        this._poll();
    }

    stop() {
        if (this._monitor && this._activeId)
            this._monitor.remove_watch(this._activeId);
        this._activeId = 0;
        if (this._timerId)
            this._gi.GLib.source_remove(this._timerId);
        this._timerId = 0;
        this._monitor = null;
    }

    _waitForActivity() {
        this._activeId = this._monitor.add_user_active_watch(() => {
            this._activeId = 0;
            this._poll();
        });
    }

    _poll() {
        this._still = 0;
        this._timerId = this._gi.GLib.timeout_add(this._gi.GLib.PRIORITY_DEFAULT, POLL_MS, () => {
            const [x, y] = global.get_pointer();
            if (this._last && this._last[0] === x && this._last[1] === y) {
                this._still += POLL_MS;
                if (this._still >= REST_MS) {
                    this._timerId = 0;
                    this._waitForActivity();
                    return this._gi.GLib.SOURCE_REMOVE;
                }
            } else {
                this._still = 0;
                this._last = [x, y];
                this._send(x, y);
            }
            return this._gi.GLib.SOURCE_CONTINUE;
        });
    }
}
