// The entry point GNOME Shell 43 loads. It alone uses the legacy imports; the other files
// receive the modules they need from here.
/* exported init */

const {GLib, Gio, GObject, Clutter, St, Shell, Meta} = imports.gi;
const Main = imports.ui.main;
const PanelMenu = imports.ui.panelMenu;
const PopupMenu = imports.ui.popupMenu;
const Slider = imports.ui.slider;
const ExtensionUtils = imports.misc.extensionUtils;

const Me = ExtensionUtils.getCurrentExtension();

class Extension {
    constructor() {
        this._controller = null;
        this._saved = null;
    }

    enable() {
        const gi = {GLib, Gio, GObject, Clutter, St, Shell, Meta, Main, PanelMenu, PopupMenu, Slider};
        const mods = {
            validate: Me.imports.validate,
            effects: Me.imports.effects,
            pane: Me.imports.pane,
            panes: Me.imports.panes,
            windowReport: Me.imports.windowReport,
            pointer: Me.imports.pointer,
            statusButton: Me.imports.statusButton,
            service: Me.imports.service,
        };
        const path = GLib.build_filenamev([Me.path, 'dbus-interfaces.xml']);
        const [, bytes] = GLib.file_get_contents(path);
        const xml = new TextDecoder().decode(bytes);
        this._controller = new Me.imports.controller.Controller(gi, mods, xml,
            ExtensionUtils.getSettings());
        if (this._saved)
            this._controller.restore(this._saved);
        this._saved = null;
    }

    disable() {
        // Around a lock the shell may disable and enable this extension again (when one
        // earlier in its order drops out): the state Quillmere set survives that.
        this._saved = Main.sessionMode.isLocked ? this._controller?.snapshot() : null;
        this._controller?.destroy();
        this._controller = null;
    }
}

function init() {
    return new Extension();
}
