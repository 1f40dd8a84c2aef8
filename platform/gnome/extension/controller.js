// Everything the extension does while enabled: the bus service's handlers, the panes, the
// top-bar button, the reports, the shortcut and the screen lock.

import {Panes} from './panes.js';
import {PointerWatch} from './pointer.js';
import {Service} from './service.js';
import {StatusButton} from './statusButton.js';
import * as logic from './validate.js';
import {WindowReport} from './windowReport.js';

const VERSION = 1;

export class Controller {
    // `gi`: GI modules and shell UI modules; `xml`: the interface description;
    // `settings`: this extension's GSettings.
    constructor(gi, xml, settings) {
        const {GLib} = gi;
        this._gi = gi;
        this._settings = settings;
        this._button = null;
        this._rows = null;
        this._helloed = false;
        this._panes = new Panes(gi);
        this._report = new WindowReport(gi, () => this._panes.restack(),
            (json, moved) => {
                const body = new GLib.Variant('(s)', [json]);
                if (moved)
                    this._service.ask('Report', body, this._panes.holdFrames());
                else
                    this._service.send('Report', body);
            });
        this._pointer = new PointerWatch(gi, (x, y) =>
            this._service.send('Pointer', new GLib.Variant('(dd)', [x, y])));
        this._service = new Service(gi, xml, this._handlers());
        gi.Main.wm.addKeybinding('toggle-effect', settings, gi.Meta.KeyBindingFlags.IGNORE_AUTOREPEAT,
            gi.Shell.ActionMode.NORMAL | gi.Shell.ActionMode.OVERVIEW | gi.Shell.ActionMode.POPUP,
            () => {
                if (this._helloed)
                    this._service.send('Key', new GLib.Variant('(s)', ['toggle']));
            });
        this._sessionId = gi.Main.sessionMode.connect('updated', () => this._syncLock());
    }

    destroy() {
        const {Main} = this._gi;
        Main.sessionMode.disconnect(this._sessionId);
        Main.wm.removeKeybinding('toggle-effect');
        if (!Main.sessionMode.isLocked)
            this._service.send('Disabled', null);
        this._reset();
        this._service.destroy();
    }

    // What Quillmere asked for, as plain data: the shell disables and enables extensions
    // again around a lock when others drop out, and this carries the state across.
    snapshot() {
        return {helloed: this._helloed, panes: this._panes.looks(), rows: this._rows};
    }

    restore(saved) {
        if (!saved.helloed)
            return;
        const handlers = this._handlers();
        this._helloed = true;
        this._report.start();
        this._pointer.start();
        for (const [id, look] of saved.panes)
            this._panes.set(id, look);
        if (saved.rows)
            handlers.SetMenu(saved.rows);
        this._syncLock();
    }

    _reset() {
        this._helloed = false;
        this._report.stop();
        this._pointer.stop();
        this._panes.clear();
        if (this._button)
            this._button.destroy();
        this._button = null;
        this._rows = null;
    }

    _syncLock() {
        const locked = this._gi.Main.sessionMode.isLocked;
        this._panes.setLocked(locked);
        if (this._button)
            this._button.setLocked(locked);
    }

    _handlers() {
        const {GLib} = this._gi;
        const knownPane = pane => {
            if (!this._panes.has(pane))
                throw new logic.ArgumentError(`no pane ${pane}`);
        };
        return {
            Hello: () => {
                this._reset();
                this._helloed = true;
                this._syncLock();
                this._report.start();
                this._pointer.start();
                return new GLib.Variant('(u)', [VERSION]);
            },
            SetPane: (pane, look) => {
                const entries = {};
                for (const [key, variant] of Object.entries(look))
                    entries[key] = {type: variant.get_type_string(), value: variant.deepUnpack()};
                this._panes.set(pane, logic.parseLook(entries));
                return null;
            },
            SetAlpha: (pane, alpha) => {
                knownPane(pane);
                this._panes.setAlpha(pane, logic.parseAlpha(alpha));
                return null;
            },
            RemovePane: pane => {
                this._panes.remove(pane);
                return null;
            },
            SetMenu: rows => {
                const checked = logic.parseMenu(rows);
                this._rows = rows;
                if (!this._button) {
                    this._button = new StatusButton(this._gi,
                        row => this._service.send('MenuActivated', new GLib.Variant('(i)', [row])),
                        (row, value) => this._service.send('SliderMoved',
                            new GLib.Variant('(id)', [row, value])));
                    this._button.setLocked(this._gi.Main.sessionMode.isLocked);
                }
                this._button.setRows(checked);
                return null;
            },
            RemoveMenu: () => {
                this._rows = null;
                if (this._button)
                    this._button.destroy();
                this._button = null;
                return null;
            },
            Status: () => new GLib.Variant('(a{sv})', [{
                version: new GLib.Variant('u', VERSION),
                panes: new GLib.Variant('u', this._panes.count),
                menu: new GLib.Variant('b', this._button !== null),
            }]),
            ownerFound: () => {
                if (this._helloed)
                    this._report.resend();
            },
            ownerGone: () => this._reset(),
        };
    }
}
