// Watches the windows and tells Quillmere the whole picture when it may have changed: at most
// once per main-loop pass, and only when it differs from the last one sent.

import {reportJson} from './validate.js';

const WINDOW_SIGNALS = ['notify::minimized', 'notify::above', 'notify::fullscreen',
    'workspace-changed', 'unmanaged'];

export class WindowReport {
    // `restack` runs at once on every change (the panes' places); `send(json, moved)` from
    // the idle, `moved` when the focus, the windows' order or their layers changed.
    constructor(gi, restack, send) {
        this._gi = gi;
        this._restack = restack;
        this._send = send;
        this._displayIds = [];
        this._workspaceIds = [];
        this._windows = new Map();  // Meta.Window → [[object, signal id]...]
        this._idleId = 0;
        this._last = null;
        this._lastOrder = null;
        this._running = false;
    }

    start() {
        this.stop();
        this._running = true;
        const display = global.display;
        const changed = () => this._changed();
        this._displayIds = [
            display.connect('window-created', (d, w) => {
                this._watch(w);
                this._changed();
            }),
            display.connect('restacked', changed),
            display.connect('notify::focus-window', changed),
        ];
        this._workspaceIds = [
            global.workspace_manager.connect('active-workspace-changed', changed),
        ];
        for (const actor of global.get_window_actors())
            this._watch(actor.meta_window);
        this._last = null;
        this._changed();
    }

    stop() {
        this._running = false;
        this._displayIds.forEach(id => global.display.disconnect(id));
        this._workspaceIds.forEach(id => global.workspace_manager.disconnect(id));
        this._displayIds = [];
        this._workspaceIds = [];
        for (const window of [...this._windows.keys()])
            this._unwatch(window);
        if (this._idleId)
            this._gi.GLib.source_remove(this._idleId);
        this._idleId = 0;
    }

    // Sends the picture again even if unchanged (a new listener).
    resend() {
        this._last = null;
        this._changed();
    }

    _watch(window) {
        if (!window || this._windows.has(window))
            return;
        const ids = WINDOW_SIGNALS.map(name => [window, window.connect(name, () => {
            if (name === 'unmanaged')
                this._unwatch(window);
            this._changed();
        })]);
        const actor = window.get_compositor_private();
        if (actor)
            ids.push([actor, actor.connect('notify::opacity', () => this._changed())]);
        this._windows.set(window, ids);
    }

    _unwatch(window) {
        const ids = this._windows.get(window) || [];
        this._windows.delete(window);
        for (const [object, id] of ids) {
            try {
                object.disconnect(id);
            } catch (e) {
                // The actor went first; its handlers went with it.
            }
        }
    }

    _changed() {
        if (!this._running)
            return;
        this._restack();
        if (this._idleId)
            return;
        this._idleId = this._gi.GLib.idle_add(this._gi.GLib.PRIORITY_DEFAULT, () => {
            this._idleId = 0;
            this._report();
            return this._gi.GLib.SOURCE_REMOVE;
        });
    }

    _report() {
        const workspace = global.workspace_manager.get_active_workspace();
        const windows = global.get_window_actors()
            .map(actor => [actor, actor.meta_window])
            .filter(([, w]) => w && !w.is_override_redirect())
            .reverse()
            .map(([actor, w]) => ({
                id: String(w.get_id()),
                pid: w.get_pid(),
                layer: w.get_layer(),
                opacity: actor.opacity / 255,
                keepAbove: w.is_above(),
                shown: w.showing_on_its_workspace() && w.located_on_workspace(workspace),
            }));
        const focus = global.display.focus_window;
        const focusPid = focus ? focus.get_pid() : -1;
        const workspaceIndex = global.workspace_manager.get_active_workspace_index();
        const json = reportJson(windows, focusPid, workspaceIndex);
        if (json === this._last)
            return;
        this._last = json;
        const order = JSON.stringify([focusPid, workspaceIndex,
            windows.map(w => [w.id, w.layer, w.keepAbove, w.shown])]);
        const moved = order !== this._lastOrder;
        this._lastOrder = order;
        this._send(json, moved);
    }
}
