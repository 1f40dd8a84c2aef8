// What both entry points do on enable and disable: one controller at a time, and Quillmere's
// state kept across the disable and enable the shell may do around a lock.

import {Controller} from './controller.js';

export class Lifecycle {
    constructor() {
        this._gi = null;
        this._controller = null;
        this._saved = null;
    }

    // `gi`: the GI and shell modules; `path`: this extension's directory.
    enable(gi, path, settings) {
        if (this._controller)
            return;
        this._gi = gi;
        const xml = gi.GLib.build_filenamev([path, 'dbus-interfaces.xml']);
        const [, bytes] = gi.GLib.file_get_contents(xml);
        this._controller = new Controller(gi, new TextDecoder().decode(bytes), settings);
        if (this._saved)
            this._controller.restore(this._saved);
        this._saved = null;
    }

    disable() {
        // Around a lock the shell may disable and enable this extension again (when one
        // earlier in its order drops out): the state Quillmere set survives that.
        const locked = this._gi?.Main.sessionMode.isLocked ?? false;
        if (this._controller)
            this._saved = locked ? this._controller.snapshot() : null;
        else if (!locked)
            this._saved = null;
        this._controller?.destroy();
        this._controller = null;
    }
}
