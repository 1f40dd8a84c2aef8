// Checks of everything a caller sends, and the few pure decisions the shell side makes.
// Nothing here touches the shell, so it runs under plain gjs in the unit test.

export const MAX_PANES = 64;
export const MAX_MENU_ROWS = 64;
export const MAX_TITLE_BYTES = 256;
export const MAX_REPORTED_WINDOWS = 1024;

export class ArgumentError extends Error {}

function fail(what) {
    throw new ArgumentError(what);
}

function finite(value, low, high, what) {
    if (typeof value !== 'number' || !Number.isFinite(value) || value < low || value > high)
        fail(`${what} out of range`);
    return value;
}

function colour(value, what) {
    if (!Array.isArray(value) || value.length !== 4)
        fail(`${what} needs 4 values`);
    return value.map(v => finite(v, 0, 1, what));
}

// Key → [D-Bus type, check]. The check returns the value to keep or throws.
const LOOK_KEYS = {
    x: ['i', v => finite(v, -65536, 65536, 'x')],
    y: ['i', v => finite(v, -65536, 65536, 'y')],
    width: ['i', v => finite(v, 0, 32768, 'width')],
    height: ['i', v => finite(v, 0, 32768, 'height')],
    shown: ['b', v => v === true],
    layer: ['i', v => finite(v, 0, 8, 'layer')],
    alpha: ['d', v => finite(v, 0, 1, 'alpha')],
    kind: ['s', v => (['none', 'blur', 'pixellate'].includes(v) ? v : fail('kind'))],
    fill: ['ad', v => colour(v, 'fill')],
    sigma: ['d', v => finite(v, 0, 160, 'sigma')],
    tint: ['ad', v => colour(v, 'tint')],
    saturation: ['d', v => finite(v, 0, 4, 'saturation')],
    weight: ['d', v => finite(v, 0, 1, 'weight')],
    squareSide: ['d', v => finite(v, 1, 4096, 'squareSide')],
    squareOriginX: ['d', v => finite(v, -1e6, 1e6, 'squareOriginX')],
    squareOriginY: ['d', v => finite(v, -1e6, 1e6, 'squareOriginY')],
};

// `entries` maps each key to {type: the variant's type string, value: its unpacked value}.
// Returns the checked changes; any unknown key, wrong type or bad value rejects the whole call.
export function parseLook(entries) {
    const changes = {};
    for (const [key, entry] of Object.entries(entries)) {
        const rule = LOOK_KEYS[key];
        if (!rule)
            fail(`unknown key ${key}`);
        if (entry.type !== rule[0])
            fail(`${key} must be of type ${rule[0]}`);
        changes[key] = rule[1](entry.value);
    }
    return changes;
}

export function parseAlpha(alpha) {
    return finite(alpha, 0, 1, 'alpha');
}

function utf8Length(text) {
    return unescape(encodeURIComponent(text)).length;
}

// Rows arrive as [kind, title, key, checked, enabled, value, min, max].
export function parseMenu(rows) {
    if (!Array.isArray(rows) || rows.length > MAX_MENU_ROWS)
        fail('too many rows');
    return rows.map(([kind, title, key, checked, enabled, value, min, max]) => {
        if (!['item', 'separator', 'slider'].includes(kind))
            fail('row kind');
        if (utf8Length(title) > MAX_TITLE_BYTES)
            fail('title too long');
        if (kind === 'slider') {
            finite(min, -1e9, 1e9, 'min');
            finite(max, min, 1e9, 'max');
            finite(value, min, max, 'slider value');
        } else if (kind === 'item' && key !== '' && !/^[a-z0-9]$/.test(key)) {
            fail('key equivalent');
        }
        return {kind, title, key: kind === 'item' ? key : '', checked, enabled, value, min, max};
    });
}

// `layers` lists the windows' stack layers bottom to top. Returns the index of the window a
// pane on `paneLayer` goes directly above: the topmost at or below its layer, -1 for none
// (then the pane goes directly above the wallpaper).
export function placeAbove(layers, paneLayer) {
    let index = -1;
    for (let i = 0; i < layers.length; i++) {
        if (layers[i] <= paneLayer)
            index = i;
    }
    return index;
}

// `windows` front to back, each {id, pid, layer, opacity, keepAbove, shown}.
export function reportJson(windows, activePid, desktop) {
    return JSON.stringify({
        windows: windows.slice(0, MAX_REPORTED_WINDOWS),
        active: activePid,
        desktop,
    });
}
