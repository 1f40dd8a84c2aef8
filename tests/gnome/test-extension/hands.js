/* The tests' hands inside a private GNOME Shell, reached through org.gnome.Shell.Eval as
 * `quillmereTest.<name>(...)`. Turns unsafe mode on (Eval and Screenshot answer only then),
 * hides the overview the shell starts in, and owns org.quillmere.Test once the shell is
 * ready for a test. One logic for every shell: it imports nothing, and the entry of the
 * shell's style (legacy.js up to 44, module.js from 45) hands it what it uses. */
let Clutter, Gio, St, Main, PopupMenu;
let nameId = 0;
let startupId = 0;
let keyboard = null;
let pointer = null;

function windows() {
    return global.get_window_actors().map(a => a.meta_window)
        .filter(w => !w.is_override_redirect());
}

function rowOf(item) {
    if (item instanceof PopupMenu.PopupSeparatorMenuItem)
        return {kind: 'separator'};
    const children = item.get_children();
    const slider = children.find(c => c.maximum_value !== undefined);
    if (slider)
        return {kind: 'slider', value: slider.value, enabled: slider.reactive};
    const more = children.filter(c => c instanceof St.Label && c !== item.label &&
        c !== item._ornamentLabel);
    return {kind: 'item', title: item.label.text, enabled: item.sensitive,
        checked: item._ornament === PopupMenu.Ornament.CHECK,
        accelerator: more.map(c => c.text).join(' ')};
}

const api = {
    // What the entry handed over, for the tests' own scripts: {Clutter, Main, Meta, ...}.
    modules: null,
    // [{pid, title, layer, above, x, y, width, height}] front to back.
    windows() {
        return global.display.sort_windows_by_stacking(windows()).reverse().map(w => {
            const r = w.get_frame_rect();
            return {pid: w.get_pid(), title: w.get_title(), layer: w.get_layer(),
                above: w.is_above(), x: r.x, y: r.y, width: r.width, height: r.height};
        });
    },
    // A Meta.Window method called on each window of the process: each(pid, 'raise').
    each(pid, method, ...args) {
        for (const w of windows().filter(w => w.get_pid() === pid))
            w[method](...args);
    },
    key(keyval, pressed) {
        keyboard.notify_keyval(Clutter.get_current_event_time() * 1000, keyval,
            pressed ? Clutter.KeyState.PRESSED : Clutter.KeyState.RELEASED);
    },
    move(x, y) {
        pointer.notify_absolute_motion(Clutter.get_current_event_time() * 1000, x, y);
    },
    // The rows of a top-bar button's menu, by its key in the panel's status area.
    menuRows(key) {
        const button = Main.panel.statusArea[key];
        return button ? button.menu._getMenuItems().map(rowOf) : null;
    },
    menuOpen(key) {
        const menu = Main.panel.statusArea[key].menu;
        menu.open(false);
        return menu.isOpen;
    },
    choose(key, index) {
        const item = Main.panel.statusArea[key].menu._getMenuItems()[index];
        item.activate(Clutter.get_current_event());
    },
    slide(key, index, value) {
        const item = Main.panel.statusArea[key].menu._getMenuItems()[index];
        item.get_children().find(c => c.maximum_value !== undefined).value = value;
    },
};

function announce() {
    Main.overview.hide();
    nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, 'org.quillmere.Test',
        Gio.BusNameOwnerFlags.NONE, null, null);
}

export function enable(modules) {
    ({Clutter, Gio, St, Main, PopupMenu} = modules);
    api.modules = modules;
    global.context.unsafe_mode = true;
    globalThis.quillmereTest = api;
    const seat = Clutter.get_default_backend().get_default_seat();
    keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
    pointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
    if (Main.layoutManager._startingUp)
        startupId = Main.layoutManager.connect('startup-complete', () => announce());
    else
        announce();
}

export function disable() {
    if (startupId)
        Main.layoutManager.disconnect(startupId);
    if (nameId)
        Gio.bus_unown_name(nameId);
    startupId = nameId = 0;
    keyboard = pointer = api.modules = null;
    delete globalThis.quillmereTest;
}
