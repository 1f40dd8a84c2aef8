// The panes Quillmere asked for: where each stands among the windows, and the culling turned
// off beneath those that read what lies beneath.

import {noCullEffect, viewEffect} from './effects.js';
import {Pane} from './pane.js';
import {ArgumentError, MAX_PANES, placeAbove} from './validate.js';

const NO_CULL = 'quillmere-no-cull';
const HOLD_MS = 40;

export class Panes {
    // `gi` holds the GI modules and Main.
    constructor(gi) {
        this._gi = gi;
        this._panes = new Map();
        this._noCull = new Set();  // actors that carry our no-op effect
        this._locked = false;
    }

    get count() {
        return this._panes.size;
    }

    set(id, changes) {
        let pane = this._panes.get(id);
        if (!pane) {
            if (this._panes.size >= MAX_PANES)
                throw new ArgumentError('too many panes');
            pane = new Pane(this._gi, () => viewEffect(this._gi));
            pane.setLocked(this._locked);
            this._panes.set(id, pane);
        }
        pane.apply(changes);
        this.restack();
    }

    looks() {
        return [...this._panes.entries()].map(([id, pane]) => [id, {...pane.look}]);
    }

    has(id) {
        return this._panes.has(id);
    }

    setAlpha(id, alpha) {
        const pane = this._panes.get(id);
        const sampled = pane.samples;
        pane.setAlpha(alpha);
        if (pane.samples !== sampled)
            this.restack();
    }

    remove(id) {
        const pane = this._panes.get(id);
        if (!pane)
            return;
        this._panes.delete(id);
        pane.destroy();
        this.restack();
    }

    clear() {
        for (const pane of this._panes.values())
            pane.destroy();
        this._panes.clear();
        this._updateNoCull([]);
    }

    setLocked(locked) {
        this._locked = locked;
        for (const pane of this._panes.values())
            pane.setLocked(locked);
        this.restack();
    }

    // Holds the stage's frames while Quillmere may move the panes (after a report), so that
    // no frame, costly with a blur, is drawn with them in their old places and delays the
    // move. Gives the release, which runs once; the hold ends by itself after HOLD_MS.
    holdFrames() {
        const {Clutter, GLib} = this._gi;
        // A timeline tells the clock of the view an actor is on.
        const clocks = new Set([...this._panes.values()]
            .map(p => new Clutter.Timeline({actor: p.actor, duration: 1}).frame_clock)
            .filter(c => c));
        const gone = new Set();  // a view replaced meanwhile took its clock with it
        const ids = [...clocks].map(c => [c, c.connect('destroy', () => gone.add(c))]);
        clocks.forEach(c => c.inhibit());
        let held = true;
        let timeoutId = 0;
        const release = () => {
            if (!held)
                return;
            held = false;
            if (timeoutId)
                GLib.source_remove(timeoutId);
            for (const [clock, id] of ids) {
                if (!gone.has(clock)) {
                    clock.disconnect(id);
                    clock.uninhibit();
                }
            }
        };
        timeoutId = GLib.timeout_add(GLib.PRIORITY_DEFAULT, HOLD_MS, () => {
            timeoutId = 0;
            release();
            return GLib.SOURCE_REMOVE;
        });
        return release;
    }

    // Puts every pane back in its place among the windows: Mutter's own restacks leave
    // foreign actors on top of every window.
    restack() {
        if (this._panes.size === 0) {
            this._updateNoCull([]);
            return;
        }
        const group = global.window_group;
        const wallpaper = this._gi.Main.layoutManager._backgroundGroup;
        const paneActors = new Set([...this._panes.values()].map(p => p.actor));
        for (const pane of this._panes.values()) {
            const windows = this._windowActors(group);
            const index = placeAbove(windows.map(a => this._layerOf(a)), pane.look.layer);
            const target = index < 0 ? wallpaper : windows[index];
            if (pane.actor.get_parent() !== group)
                group.add_child(pane.actor);
            let below = pane.actor.get_previous_sibling();
            while (below && paneActors.has(below))
                below = below.get_previous_sibling();
            if (below !== target)
                group.set_child_above_sibling(pane.actor, target);
            pane.showBeneath([wallpaper, ...windows.slice(0, index + 1).filter(a => a.visible)]);
        }
        this._updateNoCull(this._windowActors(group));
    }

    _windowActors(group) {
        return group.get_children().filter(a => a instanceof this._gi.Meta.WindowActor && a.meta_window);
    }

    _layerOf(actor) {
        try {
            return actor.meta_window.get_layer();
        } catch (e) {
            return 2;
        }
    }

    // The wallpaper group while any pane samples; every window while a sampling pane has a
    // window beneath it: those above would cut holes in what the blur reads, and those
    // beneath, culled to one monitor's damage, would reach the pane's clones only in part.
    _updateNoCull(windows) {
        const wanted = new Set();
        const group = global.window_group;
        const children = group.get_children();
        for (const pane of this._panes.values()) {
            if (!pane.samples)
                continue;
            wanted.add(this._gi.Main.layoutManager._backgroundGroup);
            const at = children.indexOf(pane.actor);
            const beneath = windows.filter(a => a.visible && children.indexOf(a) < at);
            if (beneath.length > 0)
                windows.forEach(a => wanted.add(a));
        }
        const alive = new Set([...children, this._gi.Main.layoutManager._backgroundGroup]);
        for (const actor of this._noCull) {
            if (!wanted.has(actor) && alive.has(actor))
                actor.remove_effect_by_name(NO_CULL);
        }
        for (const actor of wanted) {
            if (!actor.get_effect(NO_CULL))
                actor.add_effect_with_name(NO_CULL, noCullEffect(this._gi));
        }
        this._noCull = wanted;
    }
}
