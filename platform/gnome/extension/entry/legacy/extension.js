// The entry point GNOME Shell 43 and 44 load. It alone uses the legacy imports: it loads the
// logic (ES modules) with a dynamic import and hands it the GI and shell modules.
/* exported init */

const {GLib, Gio, GObject, Clutter, Cogl, St, Shell, Meta} = imports.gi;
const Main = imports.ui.main;
const PanelMenu = imports.ui.panelMenu;
const PopupMenu = imports.ui.popupMenu;
const Slider = imports.ui.slider;
const ExtensionUtils = imports.misc.extensionUtils;

const Me = ExtensionUtils.getCurrentExtension();

class Extension {
    constructor() {
        this._lifecycle = null;
        this._generation = 0;  // counts enables and disables: a late import sees it moved on
    }

    enable() {
        const generation = ++this._generation;
        const uri = Gio.File.new_for_path(Me.path).get_child('lifecycle.js').get_uri();
        import(uri).then(({Lifecycle}) => {
            if (generation !== this._generation)
                return;
            this._lifecycle ??= new Lifecycle();
            this._lifecycle.enable({GLib, Gio, GObject, Clutter, Cogl, St, Shell, Meta, Main,
                PanelMenu, PopupMenu, Slider}, Me.path, ExtensionUtils.getSettings());
        }).catch(e => logError(e, 'Quillmere'));
    }

    disable() {
        this._generation++;
        this._lifecycle?.disable();
    }
}

function init() {
    return new Extension();
}
