// The top-bar button: a circle of dots, and the menu Quillmere describes row by row.

const DOT_COUNT = 8;
const DOT_SHARE = 0.2;  // a dot's diameter as a share of the icon's

// Symbolic like the other top-bar icons: the dots take the panel's text colour.
function drawDots(area) {
    const cr = area.get_context();
    const [width, height] = area.get_surface_size();
    const box = Math.min(width, height);
    const dot = box * DOT_SHARE;
    const ring = (box - dot) / 2 - 0.5;
    // A Clutter.Color before GNOME Shell 48, a Cogl.Color since: the same fields.
    const {red, green, blue, alpha} = area.get_theme_node().get_foreground_color();
    cr.setSourceRGBA(red / 255, green / 255, blue / 255, alpha / 255);
    for (let i = 0; i < DOT_COUNT; i++) {
        const angle = 2 * Math.PI * i / DOT_COUNT;
        cr.arc(width / 2 + ring * Math.sin(angle), height / 2 - ring * Math.cos(angle),
            dot / 2, 0, 2 * Math.PI);
        cr.fill();
    }
    cr.$dispose();
}

export class StatusButton {
    // `activated(row)` and `slid(row, value)` tell Quillmere.
    constructor(gi, activated, slid) {
        const {St, PanelMenu, Main, Clutter} = gi;
        this._gi = gi;
        this._activated = activated;
        this._slid = slid;
        this._items = new Map();  // key equivalent → menu item
        this.button = new PanelMenu.Button(0.0, 'Quillmere', false);
        const icon = new St.DrawingArea({
            width: 16, height: 16, y_align: Clutter.ActorAlign.CENTER, y_expand: true,
        });
        icon.connect('repaint', drawDots);
        this.button.add_child(icon);
        this.button.menu.actor.connect('key-press-event', (actor, event) => this._onKey(event));
        Main.panel.addToStatusArea('quillmere', this.button);
        this._Clutter = Clutter;
    }

    destroy() {
        this.button.destroy();
        this._items.clear();
    }

    setLocked(locked) {
        this.button.container.visible = !locked;
        if (locked)
            this.button.menu.close();
    }

    setRows(rows) {
        const {PopupMenu, St, Clutter, Slider} = this._gi;
        const menu = this.button.menu;
        menu.removeAll();
        this._items.clear();
        rows.forEach((row, index) => {
            if (row.kind === 'separator') {
                menu.addMenuItem(new PopupMenu.PopupSeparatorMenuItem());
            } else if (row.kind === 'slider') {
                const item = new PopupMenu.PopupBaseMenuItem({activate: false});
                const span = row.max - row.min;
                const slider = new Slider.Slider(span > 0 ? (row.value - row.min) / span : 0);
                slider.connect('notify::value', () =>
                    this._slid(index, row.min + slider.value * span));
                slider.reactive = row.enabled;
                item.add_child(slider);
                menu.addMenuItem(item);
            } else {
                const item = new PopupMenu.PopupMenuItem(row.title);
                item.setOrnament(row.checked ? PopupMenu.Ornament.CHECK : PopupMenu.Ornament.NONE);
                if (row.key !== '') {
                    item.add_child(new St.Label({
                        text: `Super+${row.key.toUpperCase()}`,
                        x_expand: true,
                        x_align: Clutter.ActorAlign.END,
                        style_class: 'popup-inactive-menu-item',
                    }));
                    this._items.set(row.key, item);
                }
                item.setSensitive(row.enabled);
                item.connect('activate', () => this._activated(index));
                menu.addMenuItem(item);
            }
        });
    }

    // Super+<key> while the menu is open chooses the row with that key equivalent.
    _onKey(event) {
        const Clutter = this._Clutter;
        const mods = Clutter.ModifierType.MOD4_MASK | Clutter.ModifierType.SUPER_MASK;
        if ((event.get_state() & mods) === 0)
            return Clutter.EVENT_PROPAGATE;
        let key = event.get_key_unicode();
        if (typeof key === 'number')
            key = key > 0 ? String.fromCodePoint(key) : '';
        const item = this._items.get(key.toLowerCase());
        if (!item || !item.sensitive)
            return Clutter.EVENT_PROPAGATE;
        item.activate(event);
        return Clutter.EVENT_STOP;
    }
}
