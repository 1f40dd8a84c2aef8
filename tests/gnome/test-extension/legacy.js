/* The tests' extension on GNOME Shell 43 and 44, which load extensions as scripts: the logic,
 * an ES module, comes through a dynamic import, so it is enabled a tick after enable(); a
 * disable() that comes first cancels that. */
const {Clutter, Gio, GLib, Meta, St} = imports.gi;
const Main = imports.ui.main;
const PopupMenu = imports.ui.popupMenu;
const Me = imports.misc.extensionUtils.getCurrentExtension();

let hands = null;
let wanted = false;

function enable() {
    wanted = true;
    import(Me.dir.get_child('hands.js').get_uri()).then(module => {
        if (!wanted || hands)
            return;
        hands = module;
        hands.enable({Clutter, Gio, GLib, Meta, St, Main, PopupMenu});
    }).catch(logError);
}

function disable() {
    wanted = false;
    hands?.disable();
    hands = null;
}
