// The extension's plain logic under gjs: every caller's argument is checked at its limits.
// Loading the entry points' shared part also loads every logic module: none may import GI.
import System from 'system';
import '../../../platform/gnome/extension/lifecycle.js';
import * as V from '../../../platform/gnome/extension/validate.js';

let failures = 0;
function check(ok, what) {
    if (!ok) {
        failures++;
        printerr(`FAIL: ${what}`);
    }
}
function rejects(action, what) {
    try {
        action();
    } catch (e) {
        check(e instanceof V.ArgumentError, `${what}: wrong error ${e}`);
        return;
    }
    check(false, `${what} was accepted`);
}
const entry = (type, value) => ({type, value});

// A look at every limit is taken whole.
const look = V.parseLook({
    x: entry('i', -65536), width: entry('i', 32768), layer: entry('i', 8), shown: entry('b', true),
    alpha: entry('d', 0), kind: entry('s', 'pixellate'), fill: entry('ad', [0, 0, 0, 1]),
    sigma: entry('d', 160), saturation: entry('d', 4), squareSide: entry('d', 1),
});
check(look.x === -65536 && look.width === 32768 && look.layer === 8 && look.kind === 'pixellate' &&
    look.fill[3] === 1 && look.sigma === 160 && look.squareSide === 1, 'limits taken');
check(Object.keys(V.parseLook({})).length === 0, 'an empty look changes nothing');

// One step past a limit, a wrong type or an unknown key rejects the call.
for (const [key, type, value] of [['x', 'i', 65537], ['width', 'i', 32769], ['height', 'i', -1],
    ['layer', 'i', 9], ['alpha', 'd', 1.01], ['alpha', 'd', NaN], ['sigma', 'd', 160.5],
    ['saturation', 'd', -0.1], ['weight', 'd', Infinity], ['squareSide', 'd', 0.5],
    ['squareSide', 'd', 4097], ['kind', 's', 'sepia'], ['fill', 'ad', [0, 0, 0]],
    ['tint', 'ad', [0, 0, 1.5, 0]], ['x', 'd', 1], ['shown', 'i', 1], ['colour', 'd', 0]])
    rejects(() => V.parseLook({[key]: entry(type, value)}), `${key}=${value} (${type})`);
rejects(() => V.parseAlpha(-0.001), 'alpha below 0');

// Menus: 64 rows and 256 bytes at most; slider values within their range; one lower-case key.
const item = (title, key = '') => ['item', title, key, false, true, 0, 0, 0];
check(V.parseMenu(Array(64).fill(item('a'))).length === 64, '64 rows taken');
rejects(() => V.parseMenu(Array(65).fill(item('a'))), '65 rows');
check(V.parseMenu([item('é'.repeat(128))]).length === 1, '256 bytes taken');
rejects(() => V.parseMenu([item('é'.repeat(129))]), '258 bytes');
rejects(() => V.parseMenu([item('Quit', 'Q')]), 'upper-case key');
rejects(() => V.parseMenu([['slider', '', '', false, true, 2, 0, 1]]), 'slider past its max');
rejects(() => V.parseMenu([['slider', '', '', false, true, 0.5, 1, 0]]), 'slider range reversed');
rejects(() => V.parseMenu([['check', '', '', false, true, 0, 0, 0]]), 'unknown row kind');
check(V.parseMenu([['separator', '', 'xy', false, true, 0, 0, 0]])[0].key === '', 'separator key ignored');

// Placement: above the topmost window at or below the pane's layer, else on the wallpaper.
check(V.placeAbove([0, 2, 2, 4, 7], 2) === 2, 'normal pane above the normal windows');
check(V.placeAbove([0, 2, 2, 4], 1) === 0, 'keep-below pane above the desktop only');
check(V.placeAbove([2, 4], 0) === -1, 'nothing at its layer: on the wallpaper');
check(V.placeAbove([2, 4], 4) === 1, 'top pane above the keep-above window');

// The report keeps the first 1024 windows (the front ones) and its fields.
const report = JSON.parse(V.reportJson(Array.from({length: 1100}, (_, i) => ({id: String(i)})), 42, 3));
check(report.windows.length === 1024 && report.windows[0].id === '0' && report.active === 42 &&
    report.desktop === 3, 'report shape and limit');

if (failures > 0)
    System.exit(1);
print('all passed');
